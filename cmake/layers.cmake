# Each product folder publishes its own headers and nothing else: a target may
# include "<folder>/..." only for the folders whose libraries it links. So an
# include that reaches up or sideways fails to build instead of compiling by
# the accident of a shared include path.
#
# A folder is published as build/published/<folder>/<folder>, a link to the
# source folder; its libraries add build/published/<folder> to their public
# include path.
set(QUELLMARK_PUBLISHED ${CMAKE_BINARY_DIR}/published)

function(quellmark_publish target)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${QUELLMARK_PUBLISHED}/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# The platform layer publishes its interface headers and the chosen system's
# platform_types.h beside them; its win32/ and posix/ folders stay private.
function(quellmark_publish_platform target system_folder)
  set(root ${QUELLMARK_PUBLISHED}/platform)
  file(MAKE_DIRECTORY ${root}/platform)
  file(GLOB headers ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header IN LISTS headers ITEMS ${system_folder}/platform_types.h)
    get_filename_component(name ${header} NAME)
    if(NOT EXISTS ${root}/platform/${name})
      file(CREATE_LINK ${header} ${root}/platform/${name} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# The headers of the given libraries, without linking them: for a library
# whose calls into them the final program resolves, so that a test can link
# stand-ins instead.
function(quellmark_use_headers target)
  foreach(library IN LISTS ARGN)
    target_include_directories(${target} PRIVATE
      $<TARGET_PROPERTY:${library},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()
endfunction()
