# Delay-loaded system libraries of the Windows build.
#
# A second start of the program only hands its command line over to the running one and
# exits; it should not pay for libraries it never calls. Some of them are costly to map
# under Wine: the common controls library's start-up alone reads the system colours, which
# connects to the display and loads the theme library. The libraries below are linked
# through delay-load import libraries instead: each is mapped on the first call into it.
#
# brivane_delay_import(NAME DLL) makes the IMPORTED target delayed_<NAME> from the
# toolchain's import library lib<NAME>.a: every function it exports (data exports are
# left out), bound to DLL on first use by the C runtime's delay-load helper.
find_program(BRIVANE_DLLTOOL ${BRIVANE_WINDOWS_TARGET}-w64-mingw32-dlltool REQUIRED)
find_program(BRIVANE_NM ${BRIVANE_WINDOWS_TARGET}-w64-mingw32-nm REQUIRED)

function(brivane_delay_import name dll)
  find_library(BRIVANE_IMPORT_LIB_${name} NAMES lib${name}.a REQUIRED)
  set(import_lib ${BRIVANE_IMPORT_LIB_${name}})
  execute_process(COMMAND ${BRIVANE_NM} --defined-only ${import_lib}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${BRIVANE_NM} could not read ${import_lib}")
  endif()
  # A function has a thunk ("T name") beside its import pointer; data has only the pointer.
  string(REGEX MATCHALL "[0-9a-fA-F]+ T [^\n]+" thunks "${symbols}")
  set(def "LIBRARY ${dll}\nEXPORTS\n")
  foreach(thunk IN LISTS thunks)
    string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" symbol "${thunk}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # 32-bit C symbols carry a leading underscore; stdcall names keep their @N.
      string(REGEX REPLACE "^_" "" symbol "${symbol}")
    endif()
    string(APPEND def "    ${symbol}\n")
  endforeach()
  set(def_file ${PROJECT_BINARY_DIR}/delayimp/${name}.def)
  set(delay_lib ${PROJECT_BINARY_DIR}/delayimp/lib${name}_delayed.a)
  file(WRITE ${def_file} "${def}")
  # --kill-at: the DLL is asked for the undecorated names.
  add_custom_command(OUTPUT ${delay_lib}
    COMMAND ${BRIVANE_DLLTOOL} --kill-at -d ${def_file} -D ${dll} --output-delaylib ${delay_lib}
    DEPENDS ${def_file}
    COMMENT "delay-load import library for ${dll}")
  add_custom_target(delayed_${name}_lib DEPENDS ${delay_lib})
  add_library(delayed_${name} INTERFACE)
  target_link_libraries(delayed_${name} INTERFACE ${delay_lib})
  add_dependencies(delayed_${name} delayed_${name}_lib)
endfunction()

brivane_delay_import(comctl32 COMCTL32.dll)
brivane_delay_import(comdlg32 comdlg32.dll)
brivane_delay_import(ole32 ole32.dll)
brivane_delay_import(ws2_32 WS2_32.dll)
