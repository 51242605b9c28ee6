# Host build of the portable code (the HTML model, the HTTP rules of downloads): sanitizer-instrumented
# tests, the fuzzer and the benchmarks.
#   scripts/test-native       tests and fuzzer, with sanitizers (the default)
#   scripts/bench-html        HTML benchmark, configured with -DZID_HTML_SANITIZE=OFF
#   scripts/bench-log         installer log diagnosis benchmark, configured the same way
option(ZID_HTML_SANITIZE "Build the portable code and its tests with AddressSanitizer and UBSan" ON)

if(ZID_HTML_SANITIZE)
  # After googletest was added, so only our own code is instrumented.
  set(ZID_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ZID_SANITIZE_FLAGS})
  add_link_options(${ZID_SANITIZE_FLAGS})
endif()

add_subdirectory(src/html)
add_subdirectory(tests/html)
add_subdirectory(src/http)
add_subdirectory(tests/http)

# libFuzzer ships with clang only.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_subdirectory(fuzz)
endif()

# Timings of an instrumented build would mean nothing.
if(NOT ZID_HTML_SANITIZE)
  find_package(benchmark QUIET)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(GUMBO QUIET IMPORTED_TARGET gumbo)
  endif()
  add_subdirectory(bench)
endif()
