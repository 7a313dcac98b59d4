# What the test programs share: scratch folders and files, bounded waits, pictures and their BMP
# files, the clipboard's text, the message boxes and file dialogs the test thread opens, and the
# software device of a loaded emulated library. Include this file, then link kalvix_test_support
# (only the pieces a program uses are linked in).
if(NOT TARGET kalvix_test_support)
  add_library(kalvix_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/BmpFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Clipboard.cpp
    ${CMAKE_CURRENT_LIST_DIR}/EmulatedDevice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageBoxes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Picture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScratchFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Waits.cpp)
  target_include_directories(kalvix_test_support PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}
    ${CMAKE_CURRENT_LIST_DIR}/../../emulator)
  target_link_libraries(kalvix_test_support PUBLIC gdi32 user32)
endif()
