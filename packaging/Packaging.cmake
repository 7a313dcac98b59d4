# The Windows package: what "cmake --install" puts where, and CPack's NSIS setup program and ZIP
# archive made from it (scripts/package.sh). Installed layout, per machine under
# Program Files\Kalvix:
#   OstrelControlPanel.exe, KalvixCtrl.dll (the USB library), kalvix_measure.exe
#   kalvix-log.exe (the measurement log tool) with DejaVuSans.ttf, the font of its pictures
#   sdk\include\KalvixCtrl.h, sdk\include\KalvixEmulator.h (the software device's extra export),
#   sdk\lib\KalvixCtrl.lib (MSVC), sdk\lib\libKalvixCtrl.dll.a (mingw),
#   sdk\examples\kalvix_measure.c, sdk\docs\library.md and .html
#   docs\: the guides as Markdown and HTML with their pictures (operator guide, log tool, live view,
#   driver), driver\kalvix-winusb.inf
#   demo\OstrelControlPanel.exe, demo\KalvixCtrl.dll (the software device; optional component)
# The USB library and the software device's library share a file name, so they never share a
# folder: a program loads whichever KalvixCtrl.dll lies beside it.
if(NOT WIN32 OR NOT TARGET KalvixCtrl OR NOT TARGET OstrelControlPanel)
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/HtmlGuides.cmake)

# --- Control panel, USB library and the headless example (always installed) ---
install(TARGETS KalvixCtrl OstrelControlPanel kalvix_measure
  RUNTIME DESTINATION . COMPONENT application
  ARCHIVE DESTINATION sdk/lib COMPONENT sdk)
# --- The measurement log tool, the font its pictures are drawn with and the font's licence ---
if(TARGET kalvix-log)
  install(TARGETS kalvix-log RUNTIME DESTINATION . COMPONENT application)
  install(FILES ${KALVIX_LOG_FONT} DESTINATION . COMPONENT application)
  if(EXISTS /usr/share/doc/fonts-dejavu-core/copyright)
    install(FILES /usr/share/doc/fonts-dejavu-core/copyright DESTINATION docs
            RENAME DejaVu-font-licence.txt COMPONENT application)
  endif()
  kalvix_install_guide(docs/log-tool.md docs application)
  kalvix_install_guide(docs/live.md docs application)
endif()
kalvix_install_guide(docs/operator-guide.md docs application)
kalvix_install_guide(docs/driver.md docs application)
# The guides' pictures, beside them as their links expect.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/images/ DESTINATION docs/images COMPONENT application)
# The driver folder holds what signing the package needs: the INF (and the maker's catalog beside it).
install(FILES ${KALVIX_DRIVER_INF} DESTINATION driver COMPONENT application)

# --- SDK for C callers ---
# mingw: the linker's import library above (libKalvixCtrl.dll.a). MSVC: an import library made
# from the same .def file that names the DLL's exports; with an MSVC build the linker makes it.
install(FILES ${PROJECT_SOURCE_DIR}/library/include/KalvixCtrl.h ${PROJECT_SOURCE_DIR}/emulator/KalvixEmulator.h
        DESTINATION sdk/include COMPONENT sdk)
install(FILES ${PROJECT_SOURCE_DIR}/examples/kalvix_measure.c DESTINATION sdk/examples COMPONENT sdk)
kalvix_install_guide(docs/library.md sdk/docs sdk)
if(NOT MSVC)
  if(NOT CMAKE_DLLTOOL)
    find_program(CMAKE_DLLTOOL NAMES x86_64-w64-mingw32-dlltool llvm-dlltool dlltool REQUIRED)
  endif()
  # Run in its folder with a fixed temporary prefix: dlltool names the archive's members after
  # that prefix, which would otherwise be the library's whole path mangled (the build folder's).
  set(kalvix_msvc_implib ${CMAKE_BINARY_DIR}/sdk/KalvixCtrl.lib)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/sdk)
  add_custom_command(OUTPUT ${kalvix_msvc_implib}
    COMMAND ${CMAKE_DLLTOOL} -m i386:x86-64 -d ${PROJECT_SOURCE_DIR}/library/KalvixCtrl.def
            -D KalvixCtrl.dll -t KalvixCtrl -l KalvixCtrl.lib
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/sdk
    DEPENDS ${PROJECT_SOURCE_DIR}/library/KalvixCtrl.def
    COMMENT "Import library for MSVC callers: sdk/KalvixCtrl.lib")
  add_custom_target(kalvix_msvc_implib ALL DEPENDS ${kalvix_msvc_implib})
  install(FILES ${kalvix_msvc_implib} DESTINATION sdk/lib COMPONENT sdk)
endif()

# --- The software device (demonstration): its own library beside a copy of the panel ---
install(TARGETS KalvixCtrlEmulated OstrelControlPanel RUNTIME DESTINATION demo COMPONENT demo)

# --- CPack ---
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME "KalvixControl")
set(CPACK_PACKAGE_VENDOR "Kalvix")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Control panel, device library and SDK for the Kalvix impedance-spectrum meter")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Kalvix")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Kalvix")
# The NSIS setup program adds "-setup" to this name (CPackOptions.cmake).
set(CPACK_PACKAGE_FILE_NAME "KalvixControl-${PROJECT_VERSION}-win64")
# The Start-menu shortcuts are made by CPackOptions.cmake (with their start-in folder).
set(CPACK_COMPONENTS_ALL application sdk demo)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# The setup program's title and the Start-menu folder's name.
set(CPACK_NSIS_PACKAGE_NAME "Kalvix Control")
set(CPACK_NSIS_DISPLAY_NAME "Kalvix Control ${PROJECT_VERSION}")
set(CPACK_NSIS_UNINSTALL_NAME "Uninstall")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_INSTALLED_ICON_NAME "OstrelControlPanel.exe")
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)
# A setup program started over an installed version removes that first (silently with /S).
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_KALVIX_PROGRAM_ICON ${PROJECT_SOURCE_DIR}/panel/resources/icons/program.ico)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# The packaged binaries go without their debugging information.
set(CPACK_STRIP_FILES ON)
# Settings of one generator only (NSIS script lines, the setup program's name) are read by cpack
# itself, so their backslashes and dollars are written there once, unescaped.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackOptions.cmake)
include(CPack)

cpack_add_component(application
  DISPLAY_NAME "Control panel and device library"
  DESCRIPTION "OstrelControlPanel.exe with the USB KalvixCtrl.dll, kalvix_measure.exe, the operator guide and the WinUSB driver files."
  REQUIRED)
cpack_add_component(sdk
  DISPLAY_NAME "SDK for C programs"
  DESCRIPTION "KalvixCtrl.h, import libraries for MSVC and mingw, the example kalvix_measure.c and the library's documentation.")
cpack_add_component(demo
  DISPLAY_NAME "software device (demonstration)"
  DESCRIPTION "A copy of the control panel with a software Kalvix device in its own folder (demo), to try the program without hardware.")
