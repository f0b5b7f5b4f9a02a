# Install step: writes share/metainfo/WINGDRIFT_METAINFO_NAME from the
# template, listing as launchables the desktop entries already installed in
# share/applications (not its screensavers/ folder: those are screen-saver
# themes, not applications).
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${WINGDRIFT_DATADIR}")
file(GLOB desktop_ids RELATIVE "${root}/applications" "${root}/applications/*.desktop")
list(SORT desktop_ids)
set(COMPONENT_TYPE generic)
set(LAUNCHABLES "")
if(desktop_ids)
  set(COMPONENT_TYPE desktop-application)
  foreach(id ${desktop_ids})
    string(APPEND LAUNCHABLES "  <launchable type=\"desktop-id\">${id}</launchable>\n")
  endforeach()
endif()
set(out "${root}/metainfo/${WINGDRIFT_METAINFO_NAME}")
message(STATUS "Installing: ${out} (${COMPONENT_TYPE})")
configure_file("${WINGDRIFT_METAINFO_TEMPLATE}" "${out}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${out}")
