# The OpenGL loader is generated at configure/build time by Debian's glad; nothing generated is committed.
find_program(GLAD_EXECUTABLE glad REQUIRED)
set(GLAD_OUT ${CMAKE_BINARY_DIR}/generated/glad)
add_custom_command(
  OUTPUT ${GLAD_OUT}/src/gl.c ${GLAD_OUT}/include/glad/gl.h
  COMMAND ${GLAD_EXECUTABLE} --api gl:compatibility=4.5 --extensions= --reproducible --quiet
          --out-path ${GLAD_OUT} c
  COMMENT "Generating the OpenGL 4.5 loader"
  VERBATIM)
add_library(glad STATIC ${GLAD_OUT}/src/gl.c)
target_include_directories(glad SYSTEM PUBLIC ${GLAD_OUT}/include)
target_link_libraries(glad PUBLIC ${CMAKE_DL_LIBS})
