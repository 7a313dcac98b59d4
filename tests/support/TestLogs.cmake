# Measurement logs written by the panel's own log text code (TestLogs.h), for the tests of the
# log's reader and of the log tool; builds natively as well as for Windows. Include this file,
# then link kalvix_test_logs.
if(NOT TARGET kalvix_test_logs)
  add_library(kalvix_test_logs STATIC ${CMAKE_CURRENT_LIST_DIR}/TestLogs.cpp)
  target_include_directories(kalvix_test_logs PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(kalvix_test_logs PUBLIC kalvix_logfile)
endif()
