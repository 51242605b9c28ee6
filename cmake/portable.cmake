# Libraries of src/ that are portable C++ only (src/html, src/http): built for Windows and natively,
# each seeing nothing of src/ but its own folder.

# zid_add_portable_library(<folder> <sources>...) makes target zid_<folder> from src/<folder>.
function(zid_add_portable_library folder)
  set(target zid_${folder})
  add_library(${target} STATIC ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  set_target_properties(${target} PROPERTIES ZID_VISIBLE_FOLDERS ${folder} ZID_INCLUDE_ROOT ${root})
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  endif()
endfunction()
