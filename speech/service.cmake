# The speech service, its window, the UPCTV engine and the window finder.
find_package(X11 REQUIRED)
target_sources(speech PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/speechengines.h
  ${CMAKE_CURRENT_LIST_DIR}/exceptionsinuse.h
  ${CMAKE_CURRENT_LIST_DIR}/speechservice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/speechservice.h
  ${CMAKE_CURRENT_LIST_DIR}/upctvvoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upctvvoice.h
  ${CMAKE_CURRENT_LIST_DIR}/tformtts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformtts.h
  ${CMAKE_CURRENT_LIST_DIR}/unitupctv.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unitupctv.h
  ${CMAKE_CURRENT_LIST_DIR}/unitfindawindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unitfindawindow.h
)
target_link_libraries(speech PRIVATE X11::X11 X11::Xtst)
