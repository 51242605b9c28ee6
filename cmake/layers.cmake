# The layers of src/: one static library per folder, linking only the layers below it.
#
# A layer sees only its own folder and the folders of the layers it links. Each layer gets an
# include root of its own in the build tree that holds links to exactly those folders, so an
# #include of a higher layer's header does not compile. Test binaries see what their layer sees.

# Makes ${CMAKE_BINARY_DIR}/layers/<name> with a link per visible folder; returns its path.
function(zid_make_include_root name folders out)
  set(root ${CMAKE_BINARY_DIR}/layers/${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(folder IN LISTS folders)
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# zid_add_layer(<folder> [RESOURCES] [LAYERS <folders below>...] [SYSTEM_LIBRARIES <Windows libraries>...])
# Target zid_<folder> from src/<folder>/*.cpp (main.cpp excepted: it is the program's alone).
# RESOURCES: the layer sees res/ (resource.h, the dialog and control ids); only the user interface
# and the shell do, so no other layer can reach a window of the program by its id.
function(zid_add_layer folder)
  cmake_parse_arguments(ZL "RESOURCES" "" "LAYERS;SYSTEM_LIBRARIES" ${ARGN})
  set(target zid_${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${target} STATIC ${sources})

  set(visible ${folder})
  set(below_targets "")
  foreach(layer IN LISTS ZL_LAYERS)
    get_target_property(below zid_${layer} ZID_VISIBLE_FOLDERS)
    list(APPEND visible ${below})
    list(APPEND below_targets zid_${layer})
  endforeach()
  list(REMOVE_DUPLICATES visible)
  zid_make_include_root(${folder} "${visible}" root)

  set_target_properties(${target} PROPERTIES ZID_VISIBLE_FOLDERS "${visible}" ZID_INCLUDE_ROOT ${root}
                                             ZID_RESOURCES "${ZL_RESOURCES}")
  target_include_directories(${target} PRIVATE ${root})
  if(ZL_RESOURCES)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/res)
  endif()
  target_link_libraries(${target} PUBLIC ${below_targets} ${ZL_SYSTEM_LIBRARIES})
endfunction()

# Gives target the view of layer folder (the resource ids too where the layer sees them).
function(zid_use_layer_view target folder)
  get_target_property(root zid_${folder} ZID_INCLUDE_ROOT)
  get_target_property(resources zid_${folder} ZID_RESOURCES)
  target_include_directories(${target} PRIVATE ${root})
  if(resources)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/res)
  endif()
endfunction()
