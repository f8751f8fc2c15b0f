# The speech service window, the UPCTV binding and the window finder.
find_package(X11 REQUIRED)
target_sources(speech PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/speechengines.h
  ${CMAKE_CURRENT_LIST_DIR}/tformtts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformtts.h
  ${CMAKE_CURRENT_LIST_DIR}/unitupctv.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unitupctv.h
  ${CMAKE_CURRENT_LIST_DIR}/unitfindawindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unitfindawindow.h
)
target_link_libraries(speech PRIVATE X11::X11 X11::Xtst)
