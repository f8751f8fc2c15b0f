# The choosing: keyboards as data, text rules, mouse-click control and the
# selection rules. Plain C++ in a library of its own, so its tests build
# without the rest of the editor; the editor links it and the mouse-hook
# library whose SetHook and UnHookHook the main window calls.
add_library(editor_selection STATIC
  ${CMAKE_CURRENT_LIST_DIR}/scanning.cpp ${CMAKE_CURRENT_LIST_DIR}/scanning.h
  ${CMAKE_CURRENT_LIST_DIR}/keyhandling/textrules.cpp ${CMAKE_CURRENT_LIST_DIR}/keyhandling/textrules.h
  ${CMAKE_CURRENT_LIST_DIR}/mouseclickcontrol.cpp ${CMAKE_CURRENT_LIST_DIR}/mouseclickcontrol.h
  ${CMAKE_CURRENT_LIST_DIR}/selection.cpp ${CMAKE_CURRENT_LIST_DIR}/selection.h)
set_target_properties(editor_selection PROPERTIES AUTOMOC OFF)
target_include_directories(editor_selection PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(editor_selection PUBLIC platform_core)
target_link_libraries(editor PUBLIC editor_selection BrunzitMouseHook)
target_sources(editor_selection PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/scanlayout.cpp ${CMAKE_CURRENT_LIST_DIR}/scanlayout.h
  ${CMAKE_CURRENT_LIST_DIR}/switchfilter.h)
