# The WinUSB INF, made at configure time from driver/kalvix-winusb.inf.in into
# ${KALVIX_DRIVER_INF}: DriverVer takes the project's version and the date of the sources, the last
# commit's (without git, the date SOURCE_DATE_EPOCH gives, or today's), so the INF always names the
# version it ships with. Its CR LF line ends stay as Windows' tools expect them.
set(KALVIX_DRIVER_INF ${CMAKE_BINARY_DIR}/driver/kalvix-winusb.inf)
execute_process(COMMAND git log -1 --format=%cd --date=format:%m/%d/%Y
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  OUTPUT_VARIABLE KALVIX_DRIVER_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE git_result ERROR_QUIET)
if(NOT git_result EQUAL 0 OR NOT KALVIX_DRIVER_DATE MATCHES "^[01][0-9]/[0-3][0-9]/[0-9][0-9][0-9][0-9]$")
  string(TIMESTAMP KALVIX_DRIVER_DATE "%m/%d/%Y" UTC)
endif()
configure_file(${PROJECT_SOURCE_DIR}/driver/kalvix-winusb.inf.in ${KALVIX_DRIVER_INF} @ONLY NEWLINE_STYLE CRLF)
