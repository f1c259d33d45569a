; The game's installer, for one player: no administrator rights, no key outside the player's own.
; Built by installer/build-installer.cmake, whose game.nsh (in the folder WORK) holds this build's
; names, programs and game files. Every shortcut it makes starts in the installation folder, where
; the launcher looks for play.lnk, play.url and the companion.
!include "${WORK}/game.nsh"
Target ${STUB}
SetCompressor /SOLID lzma
RequestExecutionLevel user
; The files carry no time of the build machine's clock: two builds of the same inputs are the
; same bytes, and an installed file takes the time it was installed.
SetDateSave off

Name "${GAME_NAME}"
OutFile "${OUTPUT_SOURCE}"
InstallDir "$LOCALAPPDATA\Programs\${GAME_NAME}"
Icon "${ICON_SOURCE}"
UninstallIcon "${ICON_SOURCE}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${GAME_NAME}"
!define START_MENU "$SMPROGRAMS\${GAME_NAME}"

!include LogicLib.nsh
!include WinVer.nsh
!include MUI2.nsh
!define MUI_ICON "${ICON_SOURCE}"
!define MUI_UNICON "${ICON_SOURCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartGame
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

; "Run" on the finish page: the game, in the installation folder, as the player. An installer that
; the player started as administrator would pass that on to the game, and the game to the browser:
; then the shell's own process (Explorer, which runs as the player) opens the Start-menu shortcut.
Function StartGame
  SetOutPath "$INSTDIR"
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
  ${AndIf} ${AtLeastWinVista}
    Exec "$\"$WINDIR\explorer.exe$\" $\"${START_MENU}\${GAME_NAME}.lnk$\""
  ${Else}
    Exec "$\"$INSTDIR\${LAUNCHER_FILE}$\""
  ${EndIf}
FunctionEnd

Section "-Game" GameSection
  SetOutPath "$INSTDIR"
  File "/oname=${LAUNCHER_FILE}" "${LAUNCHER_SOURCE}"
  File /oname=launcher-report.exe "${REPORT_SOURCE}"
  File /oname=LICENSE "${LICENSE_SOURCE}"
  File /oname=THIRD-PARTY-NOTICES.txt "${NOTICES_SOURCE}"
  !insertmacro INSTALL_GAME_FILES
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; CreateShortCut takes the output folder as the shortcut's working folder ("Start in").
  SetOutPath "$INSTDIR"
  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\${GAME_NAME}.lnk" "$INSTDIR\${LAUNCHER_FILE}" "" "$INSTDIR\${LAUNCHER_FILE}" 0
  CreateShortCut "${START_MENU}\${GAME_NAME} support report.lnk" "$INSTDIR\launcher-report.exe"
  CreateShortCut "$DESKTOP\${GAME_NAME}.lnk" "$INSTDIR\${LAUNCHER_FILE}" "" "$INSTDIR\${LAUNCHER_FILE}" 0

  ; The entry in Installed apps, for this player only; installing again writes the same key.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${GAME_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${GAME_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LAUNCHER_FILE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${GameSection} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Takes away what the installer put there, by name, and each folder once it is empty: whatever
; the player added stays, and with it the folders that hold it.
Section "Uninstall"
  Delete "${START_MENU}\${GAME_NAME}.lnk"
  Delete "${START_MENU}\${GAME_NAME} support report.lnk"
  RMDir "${START_MENU}"
  Delete "$DESKTOP\${GAME_NAME}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  !insertmacro UNINSTALL_GAME_FILES
  Delete "$INSTDIR\${LAUNCHER_FILE}"
  Delete "$INSTDIR\launcher-report.exe"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
