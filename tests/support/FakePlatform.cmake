# The scripted fake of the platform operations table, for test programs that run the transport
# (alone or inside the whole library) in-process. Include this file, then link
# kalvix_fake_platform; the program also needs the transport itself (DevGUID, UsbTransport.cpp).
if(NOT TARGET kalvix_fake_platform)
  add_library(kalvix_fake_platform STATIC ${CMAKE_CURRENT_LIST_DIR}/FakePlatform.cpp)
  target_include_directories(kalvix_fake_platform PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}
    ${CMAKE_CURRENT_LIST_DIR}/../../library
    ${CMAKE_CURRENT_LIST_DIR}/../../library/include
    ${CMAKE_CURRENT_LIST_DIR}/../../library/platform
    ${CMAKE_CURRENT_LIST_DIR}/../../formats)
  target_compile_definitions(kalvix_fake_platform PUBLIC KALVIX_BUILDING_LIBRARY)
endif()
