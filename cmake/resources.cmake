if(NOT WIN32)
  # Resources are compiled as for Windows: Debian's binutils-mingw-w64-x86-64 and the SDK
  # headers of mingw-w64-common.
  find_program(ZEPHYR_WINDRES x86_64-w64-mingw32-windres REQUIRED)
  find_path(ZEPHYR_MINGW_INCLUDE winresrc.h PATHS /usr/share/mingw-w64/include NO_DEFAULT_PATH REQUIRED)
endif()

# A module's resources from its .rc file (dialog templates, version record), compiled by
# windres: into the module's resource section on Windows, and on Linux into data of the
# module that the Windows stand-in reads as Windows reads that section. DEFINES are given
# to the resource compiler; DEPENDS names the headers the .rc includes.
#   zephyr_add_resources(target file.rc [DEFINES NAME=VALUE...] [DEPENDS header...])
function(zephyr_add_resources target rc)
  cmake_parse_arguments(R "" "" "DEFINES;DEPENDS" ${ARGN})
  get_filename_component(rc ${rc} ABSOLUTE)
  get_filename_component(rcFolder ${rc} DIRECTORY)
  set(includes ${rcFolder})
  foreach(header ${R_DEPENDS})
    get_filename_component(header ${header} ABSOLUTE)
    get_filename_component(folder ${header} DIRECTORY)
    list(APPEND includes ${folder})
  endforeach()
  list(REMOVE_DUPLICATES includes)
  if(WIN32)
    target_sources(${target} PRIVATE ${rc})
    set_property(SOURCE ${rc} APPEND PROPERTY COMPILE_DEFINITIONS ${R_DEFINES})
    set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES ${includes})
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${R_DEPENDS})
  else()
    get_filename_component(name ${rc} NAME_WE)
    set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}.res)
    set(data ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_res.cpp)
    set(flags)
    foreach(define ${R_DEFINES})
      list(APPEND flags -D${define})
    endforeach()
    foreach(folder ${includes})
      list(APPEND flags -I${folder})
    endforeach()
    # The host's C preprocessor with the SDK's resource headers of mingw-w64-common.
    add_custom_command(OUTPUT ${res}
      COMMAND ${ZEPHYR_WINDRES} --preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E
        --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED --preprocessor-arg=-D_WIN32
        -I${ZEPHYR_MINGW_INCLUDE} ${flags} -O res ${rc} -o ${res}
      DEPENDS ${rc} ${R_DEPENDS}
      COMMENT "Compiling the resources ${name}.rc"
      VERBATIM)
    add_custom_command(OUTPUT ${data}
      COMMAND ${CMAKE_COMMAND} -DIN=${res} -DOUT=${data} -P ${CMAKE_SOURCE_DIR}/cmake/embed_res.cmake
      DEPENDS ${res} ${CMAKE_SOURCE_DIR}/cmake/embed_res.cmake
      VERBATIM)
    target_sources(${target} PRIVATE ${data})
  endif()
endfunction()
