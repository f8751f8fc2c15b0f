# The large-letter window, fonts and colours, the settings file and the
# documents. A library of its own so that its tests build without the rest
# of the editor; the editor library links it.
add_library(editor_keeping STATIC
  ${CMAKE_CURRENT_LIST_DIR}/tformlletra.cpp ${CMAKE_CURRENT_LIST_DIR}/tformlletra.h
  ${CMAKE_CURRENT_LIST_DIR}/fontcolour.cpp ${CMAKE_CURRENT_LIST_DIR}/fontcolour.h
  ${CMAKE_CURRENT_LIST_DIR}/darkcolours.cpp ${CMAKE_CURRENT_LIST_DIR}/darkcolours.h
  ${CMAKE_CURRENT_LIST_DIR}/gridkey.cpp ${CMAKE_CURRENT_LIST_DIR}/gridkey.h
  ${CMAKE_CURRENT_LIST_DIR}/settingsfile.cpp ${CMAKE_CURRENT_LIST_DIR}/settingsfile.h
  ${CMAKE_CURRENT_LIST_DIR}/documents.cpp ${CMAKE_CURRENT_LIST_DIR}/documents.h
)
target_link_libraries(editor_keeping PUBLIC Qt6::Widgets Qt6::PrintSupport platform_core platform_qt)
if(TARGET editor)
  target_link_libraries(editor PUBLIC editor_keeping)
endif()
