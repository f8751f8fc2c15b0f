# Shared helpers and the exceptions dictionary.
# The string helpers and the dictionary are plain C++ in a library of their
# own, so the fuzzers (built without Qt) can include this file and link it.
if(NOT TARGET speech_dictionary)
  add_library(speech_dictionary STATIC
    ${CMAKE_CURRENT_LIST_DIR}/unittools.cpp ${CMAKE_CURRENT_LIST_DIR}/unittools.h
    ${CMAKE_CURRENT_LIST_DIR}/exceptiondictionary.cpp ${CMAKE_CURRENT_LIST_DIR}/exceptiondictionary.h
  )
  target_include_directories(speech_dictionary PUBLIC ${PROJECT_SOURCE_DIR})
  # The file's bytes are decoded with the code-page helpers.
  if(TARGET platform_core)
    target_link_libraries(speech_dictionary PUBLIC platform_core)
  else()
    target_sources(speech_dictionary PRIVATE ${PROJECT_SOURCE_DIR}/platform/cp1252.cpp)
  endif()
endif()

if(TARGET speech)
  target_sources(speech PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/unitfileini.cpp ${CMAKE_CURRENT_LIST_DIR}/unitfileini.h
    ${CMAKE_CURRENT_LIST_DIR}/tformdiccionariexcepcions.cpp ${CMAKE_CURRENT_LIST_DIR}/tformdiccionariexcepcions.h
  )
  target_link_libraries(speech PUBLIC speech_dictionary platform_core)
endif()
