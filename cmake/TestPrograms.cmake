# The test programs and their support code build at -O1 with line tables only (-g1) in a
# RelWithDebInfo build: that takes about half the compile time of its -O2 -g, and the code under test
# keeps its own flags. Included by every folder that adds test programs; other build types keep theirs.
include_guard(GLOBAL)
if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-O1 -g1)
endif()
