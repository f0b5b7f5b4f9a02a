# Project-wide compile settings, applied per target.

set(WINGDRIFT_SANITIZE_FLAGS "")
if(WINGDRIFT_ENABLE_ASAN)
  list(APPEND WINGDRIFT_SANITIZE_FLAGS
       -fsanitize=address,undefined,float-divide-by-zero
       -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(WINGDRIFT_FUZZ)
  # Every library is instrumented for coverage; only the fuzz programs link
  # libFuzzer's main.
  list(APPEND WINGDRIFT_SANITIZE_FLAGS
       -fsanitize=fuzzer-no-link,address,undefined,float-divide-by-zero
       -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(WINGDRIFT_SANITIZE_FLAGS)
  add_compile_options(${WINGDRIFT_SANITIZE_FLAGS})
  string(REPLACE ";" " " _wd_san "${WINGDRIFT_SANITIZE_FLAGS}")
  string(REPLACE "fuzzer-no-link," "" _wd_san "${_wd_san}")
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} ${_wd_san}")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} ${_wd_san}")
endif()

# Warnings for our own targets (not for third-party code).
function(wingdrift_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(WINGDRIFT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A library of one folder: wingdrift_library(NAME SOURCES... [DEPS ...])
function(wingdrift_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  wingdrift_warnings(${name})
endfunction()
