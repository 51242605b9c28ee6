# The shipped program: a 32-bit, statically linked Win32 GUI executable.
enable_language(RC)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
add_compile_options(-Wall -Wextra)

# Hardening: stack canaries and checked buffer calls (MinGW's libssp, linked statically), ASLR, DEP,
# and terminal-server awareness; high-entropy ASLR where the twin is 64-bit. -g1 (functions and
# lines) goes into the debug file kept beside the shipped program, not into the program.
add_compile_options(-fstack-protector-strong -g1)
add_compile_definitions(_FORTIFY_SOURCE=2)
add_link_options(-static -static-libgcc -static-libstdc++ -fstack-protector-strong
                 -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_link_options(-Wl,--high-entropy-va)
else()
  # The 32-bit program may use 4 GB of address space on 64-bit Windows, not 2.
  add_link_options(-Wl,--large-address-aware)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wineprefix --arch ${CMAKE_SYSTEM_PROCESSOR})

include(cmake/layers.cmake)
include(cmake/delay_load.cmake)
add_subdirectory(src/html)
add_subdirectory(src/http)

zid_delay_library(wininet KEEP_THUNKS)
zid_delay_library(crypt32 KEEP_THUNKS)
zid_delay_library(msi)
zid_delay_library(wintrust)
zid_delay_library(version)

# Bottom to top, each layer seeing those below it. html and http stand alone; only ui and shell see res/.
zid_add_layer(win SYSTEM_LIBRARIES zid_delay_wininet zid_delay_msi zid_delay_crypt32 comctl32 shell32 shlwapi ole32
              zid_delay_version advapi32 gdi32 user32 kernel32)
zid_add_layer(packages LAYERS win SYSTEM_LIBRARIES zid_delay_msi zid_delay_wintrust zid_delay_crypt32)
zid_add_layer(net LAYERS packages win http SYSTEM_LIBRARIES zid_delay_wininet shlwapi)
zid_add_layer(log LAYERS net http packages win SYSTEM_LIBRARIES psapi wbemuuid uuid ole32 oleaut32 zid_delay_version)
zid_add_layer(operations LAYERS log net http packages win SYSTEM_LIBRARIES zid_delay_msi)
zid_add_layer(releases LAYERS operations log net http html packages win SYSTEM_LIBRARIES zid_delay_wininet shlwapi)
zid_add_layer(ui RESOURCES LAYERS releases operations log net http html packages win
              SYSTEM_LIBRARIES comdlg32 comctl32 shell32 shlwapi gdi32 user32 ole32)
zid_add_layer(shell RESOURCES LAYERS ui releases operations log net http html packages win
              SYSTEM_LIBRARIES comctl32 shell32)

# The icon is drawn at build time; nothing binary lives in the repository.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/res/ZIDezureziv.ico
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/res/make_icon.py ${CMAKE_BINARY_DIR}/res/ZIDezureziv.ico
  DEPENDS ${CMAKE_SOURCE_DIR}/res/make_icon.py)
add_custom_target(zid_icon DEPENDS ${CMAKE_BINARY_DIR}/res/ZIDezureziv.ico)

# The shipped program asks for the x86 common controls; the x86_64 test twin needs the amd64 ones
# or it silently gets the old controls (no split button).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(ZID_MANIFEST_ARCH amd64)
else()
  set(ZID_MANIFEST_ARCH x86)
endif()
configure_file(res/ZIDezureziv.manifest.in ${CMAKE_BINARY_DIR}/res/ZIDezureziv.manifest @ONLY)
configure_file(res/version.h.in ${CMAKE_BINARY_DIR}/res/version.h @ONLY)

# Resources as an object library: the tests create the real dialogs from them too.
add_library(zid_res OBJECT res/ZIDezureziv.rc)
add_dependencies(zid_res zid_icon)
target_include_directories(zid_res PRIVATE ${CMAKE_BINARY_DIR}/res ${CMAKE_SOURCE_DIR}/res)
set_source_files_properties(res/ZIDezureziv.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/res/ZIDezureziv.ico;${CMAKE_BINARY_DIR}/res/ZIDezureziv.manifest;${CMAKE_BINARY_DIR}/res/version.h;${CMAKE_SOURCE_DIR}/res/resource.h")

add_executable(ZIDezureziv WIN32 src/shell/main.cpp)
zid_use_layer_view(ZIDezureziv shell)
target_link_libraries(ZIDezureziv PRIVATE zid_shell zid_res)
target_link_options(ZIDezureziv PRIVATE -municode -mwindows)
set_target_properties(ZIDezureziv PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The shipped program carries no debug information; ZIDezureziv.exe.debug beside it does, for crash
# analysis (gdb finds it through the program's debug link).
add_custom_command(TARGET ZIDezureziv POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:ZIDezureziv> $<TARGET_FILE:ZIDezureziv>.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE:ZIDezureziv>.debug $<TARGET_FILE:ZIDezureziv>
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)

add_subdirectory(tests)

# Measurements, not tests (scripts/bench-inventory); built on request only.
add_executable(inventory_bench EXCLUDE_FROM_ALL bench/inventory_bench.cpp)
zid_use_layer_view(inventory_bench ui)
target_link_libraries(inventory_bench PRIVATE zid_ui zid_res)
target_link_options(inventory_bench PRIVATE -municode)

# The download engine's speed against curl (scripts/bench-download): a console program built on
# request, never by CTest.
add_executable(download_bench EXCLUDE_FROM_ALL bench/download_bench.cpp)
zid_use_layer_view(download_bench net)
target_link_libraries(download_bench PRIVATE zid_net psapi)
target_link_options(download_bench PRIVATE -municode)

# The same download through the real program, page and progress dialog, worked from outside as the
# end-to-end tests work it (scripts/bench-download).
add_executable(download_path_bench EXCLUDE_FROM_ALL bench/download_path_bench.cpp tests/e2e/driver.cpp)
zid_use_layer_view(download_path_bench win)
target_include_directories(download_path_bench PRIVATE ${CMAKE_SOURCE_DIR}/res ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(download_path_bench PRIVATE zid_test_support psapi comctl32 user32 shell32 ole32 uuid)
target_link_options(download_path_bench PRIVATE -municode)
target_compile_definitions(download_path_bench PRIVATE ZID_EXE_PATH="${CMAKE_BINARY_DIR}/ZIDezureziv.exe"
                                                       ZID_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(download_path_bench ZIDezureziv)

# Start-up time of the program against the smallest dialog program (scripts/bench-startup); built on
# request only.
add_executable(startup_bench EXCLUDE_FROM_ALL bench/startup_bench.cpp)
target_link_options(startup_bench PRIVATE -municode)
add_executable(smallest_dialog EXCLUDE_FROM_ALL WIN32 bench/smallest_dialog.cpp)
target_link_options(smallest_dialog PRIVATE -municode -mwindows)

