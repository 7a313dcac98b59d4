# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE): what only the NSIS setup program
# needs. Written without CMake's configure-time escaping: "\\" is one backslash here.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")

  set(kalvix_uninstall_key "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
  set(kalvix_demo_link "Control panel (software device).lnk")
  set(kalvix_live_link "Live view of the logs.lnk")

  # A 64-bit setup program: it runs on 64-bit Windows only and writes the 64-bit registry view,
  # where a 64-bit program's entry belongs. CPack has no setting for the target; its script takes
  # this icon code verbatim at the top level before the pages, which is early enough for makensis.
  # The setup program and the uninstaller carry the panel's icon.
  set(CPACK_NSIS_INSTALLER_MUI_ICON_CODE "  Target amd64-unicode
  !define MUI_ICON \"${CPACK_KALVIX_PROGRAM_ICON}\"
  !define MUI_UNICON \"${CPACK_KALVIX_PROGRAM_ICON}\"")

  # Apps & features shows the size from EstimatedSize (KiB), which CPack's script does not write.
  set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  !include FileFunc.nsh
  \${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  IntFmt $0 \"0x%08X\" $0
  WriteRegDWORD SHCTX \"${kalvix_uninstall_key}\" \"EstimatedSize\" \"$0\"
")

  # The Start-menu shortcuts. The programs and the command prompt start in the Documents folder of
  # whoever starts them (a shortcut's start-in folder is the out path when it is made; set as text,
  # so the shell expands it per user and no folder is made here), the guides open in the browser.
  # Shortcuts of optional components only when those were chosen (their sections run first).
  set(kalvix_links
    "Kalvix Control Panel.lnk"
    "${kalvix_demo_link}"
    "${kalvix_live_link}"
    "Kalvix command prompt.lnk"
    "Operator guide.lnk"
    "Log tool guide.lnk"
    "SDK guide.lnk")
  set(CPACK_NSIS_CREATE_ICONS_EXTRA "
  StrCpy $OUTDIR \"%USERPROFILE%\\Documents\"
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Kalvix Control Panel.lnk\" \"$INSTDIR\\OstrelControlPanel.exe\" \"\" \"$INSTDIR\\OstrelControlPanel.exe\" 0 SW_SHOWNORMAL \"\" \"Kalvix control panel\"
  IfFileExists \"$INSTDIR\\demo\\OstrelControlPanel.exe\" 0 +2
    CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\${kalvix_demo_link}\" \"$INSTDIR\\demo\\OstrelControlPanel.exe\" \"\" \"$INSTDIR\\demo\\OstrelControlPanel.exe\" 0 SW_SHOWNORMAL \"\" \"Kalvix control panel with a software device\"
  ; The live view of the operators' log folder (Kalvix in Documents), opened in the browser.
  IfFileExists \"$INSTDIR\\kalvix-log.exe\" 0 +2
    CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\${kalvix_live_link}\" \"$INSTDIR\\kalvix-log.exe\" \"live --open\" \"$INSTDIR\\kalvix-log.exe\" 0 SW_SHOWNORMAL \"\" \"The newest measurement log in the browser while it is written\"
  ; A command prompt with the installation folder first on PATH: kalvix-log and kalvix_measure run
  ; from any folder in it.
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Kalvix command prompt.lnk\" \"$SYSDIR\\cmd.exe\" '/k set \"PATH=$INSTDIR;%PATH%\"' \"$SYSDIR\\cmd.exe\" 0 SW_SHOWNORMAL \"\" \"Command prompt where kalvix-log and kalvix_measure run from any folder\"
  SetOutPath \"$INSTDIR\"
  CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Operator guide.lnk\" \"$INSTDIR\\docs\\operator-guide.html\"
  IfFileExists \"$INSTDIR\\docs\\log-tool.html\" 0 +2
    CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\Log tool guide.lnk\" \"$INSTDIR\\docs\\log-tool.html\"
  IfFileExists \"$INSTDIR\\sdk\\docs\\library.html\" 0 +2
    CreateShortCut \"$SMPROGRAMS\\$STARTMENU_FOLDER\\SDK guide.lnk\" \"$INSTDIR\\sdk\\docs\\library.html\"
")
  # Runs after the vendor's key below Software was removed: the empty vendor key goes too.
  set(CPACK_NSIS_DELETE_ICONS_EXTRA "")
  foreach(link IN LISTS kalvix_links)
    string(APPEND CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\${link}\"\n")
  endforeach()
  string(APPEND CPACK_NSIS_DELETE_ICONS_EXTRA "  DeleteRegKey /ifempty SHCTX \"Software\\${CPACK_PACKAGE_VENDOR}\"\n")
endif()
