# eSpeak NG in the program ("MSP") and Speech Dispatcher ("SAPI"), with the
# PulseAudio sink the in-process engine plays through.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(ESPEAK_NG REQUIRED IMPORTED_TARGET espeak-ng)
pkg_check_modules(SPEECHD REQUIRED IMPORTED_TARGET speech-dispatcher)
pkg_check_modules(PULSE_SIMPLE REQUIRED IMPORTED_TARGET libpulse-simple)

target_sources(speech PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/audiosink.h
  ${CMAKE_CURRENT_LIST_DIR}/audiosink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/espeakvoice.h
  ${CMAKE_CURRENT_LIST_DIR}/espeakvoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/speechdvoice.h
  ${CMAKE_CURRENT_LIST_DIR}/speechdvoice.cpp)
target_link_libraries(speech PRIVATE
  PkgConfig::ESPEAK_NG PkgConfig::SPEECHD PkgConfig::PULSE_SIMPLE Threads::Threads)
