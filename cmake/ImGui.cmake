# Debian's Dear ImGui ships one static library with its GLFW and OpenGL 3 back-ends in it.
find_library(IMGUI_LIBRARY NAMES imgui REQUIRED)
find_path(IMGUI_INCLUDE_DIR imgui.h PATH_SUFFIXES imgui REQUIRED)
add_library(imgui_system INTERFACE)
target_include_directories(imgui_system SYSTEM INTERFACE ${IMGUI_INCLUDE_DIR} ${IMGUI_INCLUDE_DIR}/backends)
target_link_libraries(imgui_system INTERFACE ${IMGUI_LIBRARY} PkgConfig::STB glfw OpenGL::GL ${CMAKE_DL_LIBS})
