# The version resource every shipped binary carries: one template (VersionInfo.rc.in) filled with
# the project's version (project(... VERSION ...)), the company and product names, and per binary
# its description and file name.
#
#   kalvix_add_version_resource(<target> "<file description>")
#
# for an executable or a shared library. The file name fields come from the target itself
# (OUTPUT_NAME, PREFIX), so properties set after the call still count.

set(KALVIX_COMPANY "Kalvix")
set(KALVIX_PRODUCT "Kalvix Control")
set(KALVIX_COPYRIGHT "Copyright (C) 2026 Kalvix")
set(KALVIX_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.rc.in)

function(kalvix_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  if(NOT PROJECT_VERSION_MAJOR MATCHES "^[0-9]+$")
    message(FATAL_ERROR "kalvix_add_version_resource: the project has no version")
  endif()
  if(description MATCHES "[\"\\\\]")
    message(FATAL_ERROR "kalvix_add_version_resource: no quotes or backslashes in \"${description}\"")
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(KALVIX_VERSION_FILETYPE VFT_APP)
  elseif(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    set(KALVIX_VERSION_FILETYPE VFT_DLL)
  else()
    message(FATAL_ERROR "kalvix_add_version_resource: ${target} is a ${type}, not a binary")
  endif()

  # FILEVERSION and PRODUCTVERSION: four numbers, the missing ones 0.
  set(numbers ${PROJECT_VERSION_MAJOR})
  foreach(part MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} MATCHES "^[0-9]+$")
      list(APPEND numbers ${PROJECT_VERSION_${part}})
    else()
      list(APPEND numbers 0)
    endif()
  endforeach()
  string(REPLACE ";" "," KALVIX_VERSION_COMMAS "${numbers}")

  set(KALVIX_VERSION_TARGET ${target})
  set(KALVIX_VERSION_DESCRIPTION "${description}")
  set(filled ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc.in)
  set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${KALVIX_VERSION_TEMPLATE} ${filled} @ONLY)
  # The file name fields are generator expressions, evaluated when the build files are written.
  file(GENERATE OUTPUT ${resource} INPUT ${filled})
  target_sources(${target} PRIVATE ${resource})
endfunction()
