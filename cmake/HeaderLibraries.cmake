# Header-only libraries from Debian that the product and the log tool share:
#   kalvix_fmt   {fmt} (libfmt-dev), header-only (FMT_HEADER_ONLY): every formatted text
#   kalvix_json  nlohmann-json (nlohmann-json3-dev): every JSON
# Each is an INTERFACE target whose include folder is a staged folder of this build holding only a
# link to the library's own header folder, so a build (the mingw one above all) that uses them
# never sees /usr/include as a whole. Included from the root project, the log tool's native project
# and the fuzz build; including it again is harmless.
include_guard(GLOBAL)

set(KALVIX_FMT_DIR /usr/include/fmt CACHE PATH "{fmt} headers (the folder named fmt)")
set(KALVIX_NLOHMANN_DIR /usr/include/nlohmann CACHE PATH "nlohmann-json headers (the folder named nlohmann)")
foreach(header ${KALVIX_FMT_DIR}/format.h ${KALVIX_NLOHMANN_DIR}/json.hpp)
  if(NOT EXISTS ${header})
    message(FATAL_ERROR "${header} is missing: scripts/install-deps.sh installs it")
  endif()
endforeach()

set(kalvix_header_stage ${CMAKE_BINARY_DIR}/header-stage)
file(MAKE_DIRECTORY ${kalvix_header_stage}/fmt-include ${kalvix_header_stage}/json-include)
file(CREATE_LINK ${KALVIX_FMT_DIR} ${kalvix_header_stage}/fmt-include/fmt SYMBOLIC)
file(CREATE_LINK ${KALVIX_NLOHMANN_DIR} ${kalvix_header_stage}/json-include/nlohmann SYMBOLIC)

add_library(kalvix_fmt INTERFACE)
target_include_directories(kalvix_fmt SYSTEM INTERFACE ${kalvix_header_stage}/fmt-include)
target_compile_definitions(kalvix_fmt INTERFACE FMT_HEADER_ONLY)

add_library(kalvix_json INTERFACE)
target_include_directories(kalvix_json SYSTEM INTERFACE ${kalvix_header_stage}/json-include)
