# Mouse-click control. Its decision logic is plain C++ in a library of its own,
# so its tests build without the rest of the editor; the editor links it and
# the mouse-hook library whose SetHook and UnHookHook the main window calls.
add_library(editor_mouseclick STATIC
  ${CMAKE_CURRENT_LIST_DIR}/mouseclickcontrol.cpp ${CMAKE_CURRENT_LIST_DIR}/mouseclickcontrol.h)
set_target_properties(editor_mouseclick PROPERTIES AUTOMOC OFF)
target_include_directories(editor_mouseclick PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(editor_mouseclick PUBLIC platform_core)
target_link_libraries(editor PUBLIC editor_mouseclick BrunzitMouseHook)
