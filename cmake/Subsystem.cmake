# One static library per subsystem, built from every source in its folder. Sources listed in
# `exclude` (file names) belong to a target of their own, such as the executable's entry point.
function(ledrow_subsystem name folder)
  cmake_parse_arguments(ARG "" "" "EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  foreach(skip IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "/${skip}$")
  endforeach()
  if(NOT sources)
    # A subsystem that is still all headers still needs an archive to link against.
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/${name}_placeholder.cpp)
    file(WRITE ${placeholder} "")
    set(sources ${placeholder})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${folder})
  target_compile_options(${name} PRIVATE ${LEDROW_WARNINGS})
endfunction()
