# Windows DLLs that are not KnownDLLs (wininet, msi, crypt32, wintrust, version) are not in the
# program's import table: Windows would look for them in the program's own folder first, and a DLL
# planted there (in Downloads, say) would run inside the program. They are delay-loaded instead, and
# the delay-load helper's hook (src/win/system_library.cpp) loads each from System32 only.
#
# zid_delay_library(<name> [KEEP_THUNKS]) makes target zid_delay_<name>: an import library for <name>.dll whose
# functions load the DLL on their first call. It is made once, at configure time, from MinGW's own
# import library: every function that one exports, under the same symbols. KEEP_THUNKS: for DLLs
# whose header declares the functions dllimport (see below).
function(zid_delay_library name)
  cmake_parse_arguments(ZD "KEEP_THUNKS" "" "" ${ARGN})
  set(KEEP_THUNKS ${ZD_KEEP_THUNKS})
  find_library(ZID_IMPORT_LIBRARY_${name} ${name} REQUIRED NO_CACHE)
  set(import_library ${ZID_IMPORT_LIBRARY_${name}})
  set(folder ${CMAKE_BINARY_DIR}/delayload)
  set(output ${folder}/lib${name}_delay.a)
  file(MAKE_DIRECTORY ${folder})

  # Made again only when MinGW's library or this file changed: a new one relinks every program.
  if(EXISTS ${output} AND NOT ${import_library} IS_NEWER_THAN ${output}
     AND NOT ${CMAKE_CURRENT_FUNCTION_LIST_FILE} IS_NEWER_THAN ${output})
    zid_delay_import_target(${name} ${output} ${folder} "${KEEP_THUNKS}")
    return()
  endif()
  execute_process(COMMAND ${CMAKE_NM} ${import_library} OUTPUT_VARIABLE symbols ERROR_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
  # Each function has a thunk "T <symbol>" and an address slot "I __imp_<symbol>"; 32-bit symbols
  # carry the C prefix "_" that the exported name lacks.
  string(REGEX MATCHALL "[0-9a-fA-F]+ I __imp_[^\r\n]+" slots "${symbols}")
  string(REGEX MATCHALL "[0-9a-fA-F]+ T [^\r\n]+" thunks "${symbols}")
  list(TRANSFORM thunks REPLACE "^[0-9a-fA-F]+ T " "")
  set(exports "")
  set(keep "")
  foreach(slot IN LISTS slots)
    string(REGEX REPLACE "^[0-9a-fA-F]+ I __imp_" "" symbol "${slot}")
    if(NOT symbol IN_LIST thunks)
      continue()
    endif()
    string(APPEND keep "--undefined=${symbol}\n")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(SUBSTRING "${symbol}" 1 -1 symbol)
    endif()
    string(APPEND exports "  ${symbol}\n")
  endforeach()
  if(exports STREQUAL "")
    message(FATAL_ERROR "no functions found in ${import_library}")
  endif()
  file(WRITE ${folder}/${name}.def "LIBRARY ${name}.dll\nEXPORTS\n${exports}")

  # --kill-at: the DLL exports the undecorated names that the thunks ask GetProcAddress for.
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${folder}/${name}.def --dllname ${name}.dll --kill-at
                          --output-delaylib ${output}
                  WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
  if(KEEP_THUNKS)
    file(WRITE ${folder}/${name}.keep "${keep}")
  endif()
  zid_delay_import_target(${name} ${output} ${folder} "${KEEP_THUNKS}")
endfunction()

# Target zid_delay_<name> for the delay-load library output.
function(zid_delay_import_target name output folder keep_thunks)
  add_library(zid_delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(zid_delay_${name} PROPERTIES IMPORTED_LOCATION ${output})
  # 32-bit ld drops an import member's code when nothing names its thunk, also when the address slot
  # points into that code: a call through the slot of a function declared dllimport (the headers
  # declare WinINet's and CryptoAPI's so) then jumps to 0. Naming every thunk keeps them all.
  if(keep_thunks AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    set_target_properties(zid_delay_${name} PROPERTIES INTERFACE_LINK_OPTIONS "LINKER:@${folder}/${name}.keep")
  endif()
endfunction()
