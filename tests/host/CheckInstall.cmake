# Installs the build into a fresh prefix and runs the installed program the
# way XScreenSaver finds it, through libexec/xscreensaver/wingdrift, which
# must find its data in share/wingdrift.
# Usage: cmake -DBUILD_DIR=... -DPREFIX=... -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
include(GNUInstallDirs)
foreach(f ${CMAKE_INSTALL_BINDIR}/wingdrift
          ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/wingdrift
          ${CMAKE_INSTALL_DATADIR}/xscreensaver/config/wingdrift.xml
          ${CMAKE_INSTALL_BINDIR}/wingdrift-settings
          ${CMAKE_INSTALL_DATADIR}/applications/wingdrift-settings.desktop
          ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/wingdrift.svg
          ${CMAKE_INSTALL_DATADIR}/wingdrift/Wingdrift.ui
          ${CMAKE_INSTALL_DATADIR}/doc/wingdrift/index.html
          ${CMAKE_INSTALL_DATADIR}/wingdrift/qorvane.vessimots
          "${CMAKE_INSTALL_DATADIR}/wingdrift/Aqua Blue.jpg")
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(GLOB types "${PREFIX}/${CMAKE_INSTALL_DATADIR}/wingdrift/*.bfly")
if(NOT types)
  message(FATAL_ERROR "no butterfly types in ${CMAKE_INSTALL_DATADIR}/wingdrift")
endif()
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  execute_process(
    COMMAND ${DESKTOP_FILE_VALIDATE}
            "${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/wingdrift-settings.desktop"
    OUTPUT_VARIABLE complaints ERROR_VARIABLE complaints RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT complaints STREQUAL "")
    message(FATAL_ERROR "wingdrift-settings.desktop: ${complaints}")
  endif()
endif()
file(READ "${PREFIX}/${CMAKE_INSTALL_DATADIR}/xscreensaver/config/wingdrift.xml" xml)
if(NOT xml MATCHES "<command arg=\"--root\"/>")
  message(FATAL_ERROR "wingdrift.xml does not name --root")
endif()

set(ENV{XDG_CONFIG_HOME} "${PREFIX}/config")
execute_process(
  COMMAND "${PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver/wingdrift"
          --record "${PREFIX}/frame.png" --seconds 0.2 --size 64x48
  ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT errors STREQUAL "" OR NOT EXISTS "${PREFIX}/frame.png")
  message(FATAL_ERROR "the installed program failed (${result}): ${errors}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
