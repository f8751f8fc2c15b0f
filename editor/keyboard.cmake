# Main window, keyboards, key handling, speaking entry, menus.
target_sources(editor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/tformprincipal.h
  ${CMAKE_CURRENT_LIST_DIR}/tformprincipal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformprincipal_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformprincipal_menus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformprincipal_keeping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tformprincipal_accessible.cpp
  ${CMAKE_CURRENT_LIST_DIR}/saytext.h
  ${CMAKE_CURRENT_LIST_DIR}/saytext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialogwatch.h
  ${CMAKE_CURRENT_LIST_DIR}/dialogwatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qttranslation.h
  ${CMAKE_CURRENT_LIST_DIR}/qttranslation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyhandling/documentend.h
  ${CMAKE_CURRENT_LIST_DIR}/keyhandling/documentend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wordsource.h
  ${CMAKE_CURRENT_LIST_DIR}/wordsource.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyrow.h
  ${CMAKE_CURRENT_LIST_DIR}/keyrow.cpp
)
target_link_libraries(editor PUBLIC prediction)
