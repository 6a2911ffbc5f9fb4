# One static library per layer of src/. A layer links only the layers below it, so a wrong-way
# include fails to link instead of silently growing a cycle. Sources are globbed so that adding a
# file to a layer needs no edit here; a layer without sources yet is an interface target.
function(kv_layer name)
  cmake_parse_arguments(L "" "" "DEPS;LIBS;PRIVATE_LIBS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER srcs INCLUDE REGEX ".*\\.(cpp|c)$")
  if(NOT srcs)
    add_library(kv_${name} INTERFACE)
    target_include_directories(kv_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(kv_${name} INTERFACE ${L_DEPS} ${L_LIBS})
    return()
  endif()
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(kv_${name} STATIC ${srcs} ${headers})
  target_include_directories(kv_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(kv_${name} PUBLIC ${L_DEPS} ${L_LIBS} PRIVATE ${L_PRIVATE_LIBS})
endfunction()
