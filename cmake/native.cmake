# Host build of the portable HTML model: sanitizer-instrumented tests, the fuzzer and the benchmark.
#   scripts/test-native-html  tests and fuzzer, with sanitizers (the default)
#   scripts/bench-html        benchmark, configured with -DZID_HTML_SANITIZE=OFF
option(ZID_HTML_SANITIZE "Build the HTML model and its tests with AddressSanitizer and UBSan" ON)

if(ZID_HTML_SANITIZE)
  # After googletest was added, so only our own code is instrumented.
  set(ZID_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ZID_SANITIZE_FLAGS})
  add_link_options(${ZID_SANITIZE_FLAGS})
endif()

add_subdirectory(src/html)
add_subdirectory(tests/html)

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
  if(benchmark_FOUND AND GUMBO_FOUND)
    add_subdirectory(bench)
  else()
    message(STATUS "html_bench skipped: needs libbenchmark-dev and libgumbo-dev")
  endif()
endif()
