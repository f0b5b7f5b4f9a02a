# Writes the HTML guide: index.html from index.html.in with a gallery of the
# shipped butterfly types (their names from bflytool, their preview sheets
# copied beside it) and the settings window's picture.
# Usage: cmake -DBFLYTOOL=... -DDATA_DIR=... -DPREVIEW_DIR=... -DSOURCE_DIR=...
#              -DSCREENSHOT=... -DOUT_DIR=... -DVERSION=... -P MakeGuide.cmake
file(GLOB types "${DATA_DIR}/*.bfly")
list(SORT types)
if(NOT types)
  message(FATAL_ERROR "no butterfly types in ${DATA_DIR}")
endif()
file(REMOVE_RECURSE "${OUT_DIR}/gallery")
file(MAKE_DIRECTORY "${OUT_DIR}/gallery")
set(GALLERY "")
foreach(type ${types})
  get_filename_component(file "${type}" NAME)
  get_filename_component(stem "${type}" NAME_WE)
  execute_process(COMMAND "${BFLYTOOL}" info "${type}" --json
                  OUTPUT_VARIABLE json RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "bflytool info ${type} failed")
  endif()
  string(JSON name GET "${json}" name)
  string(REPLACE "&" "&amp;" name "${name}")
  string(REPLACE "<" "&lt;" name "${name}")
  string(REPLACE ">" "&gt;" name "${name}")
  string(REPLACE "\"" "&quot;" name "${name}")
  file(COPY_FILE "${PREVIEW_DIR}/${stem}.png" "${OUT_DIR}/gallery/${stem}.png")
  string(APPEND GALLERY
    "  <figure><a href=\"gallery/${stem}.png\"><img src=\"gallery/${stem}.png\" width=\"238\" "
    "height=\"238\" alt=\"${name}, seen from above\"></a>\n"
    "    <figcaption><b>${name}</b><br><code>${file}</code></figcaption></figure>\n")
endforeach()
file(COPY_FILE "${SCREENSHOT}" "${OUT_DIR}/settings.png")
configure_file("${SOURCE_DIR}/index.html.in" "${OUT_DIR}/index.html" @ONLY)
