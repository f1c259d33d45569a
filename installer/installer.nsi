; The game's installer, for one player: no administrator rights, no key outside the player's own.
; Built by installer/build-installer.cmake, whose game.nsh (in the folder WORK) holds this build's
; names, programs, game files and this version's own list of them. Every shortcut it makes starts in
; the installation folder, where the launcher looks for play.lnk, play.url and the companion.
;
; This file: what the installer is and the pages a player sees. install.nsh installs and updates;
; uninstall.nsh uninstalls. What either removes, and whose entry and shortcuts they are, is decided
; by the plug-in installation.dll (installer/plugin.cpp), which the build makes with the programs:
; the script words its answers for the player.
!include "${WORK}/game.nsh"
Target ${STUB}
!addplugindir /${STUB} "${PLUGIN_DIR}"
SetCompressor /SOLID lzma
RequestExecutionLevel user
; The files carry no time of the build machine's clock: two builds of the same inputs are the
; same bytes, and an installed file takes the time it was installed.
SetDateSave off

; The caption and the pages name the game and its version; the foot line, its publisher.
Name "${GAME_NAME} ${GAME_VERSION}"
BrandingText "${PUBLISHER}"
; Windows scales a program that does not say it is DPI-aware as a bitmap: blurry at 150 %.
ManifestDPIAware true
OutFile "${OUTPUT_SOURCE}"
InstallDir "$LOCALAPPDATA\Programs\${GAME_NAME}"
Icon "${ICON_SOURCE}"
UninstallIcon "${ICON_SOURCE}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${GAME_NAME}"
!define START_MENU "$SMPROGRAMS\${GAME_NAME}"
!define OWN_LIST "$PLUGINSDIR\own-files.txt"
; The shortcuts an install makes, as its entry remembers them (full paths, "|"-separated): those
; in the Start menu always, the one on the desktop when the player keeps it.
!define DESKTOP_SHORTCUT "$DESKTOP\${GAME_NAME}.lnk"
!define SHORTCUTS "${START_MENU}\${GAME_NAME}.lnk|${START_MENU}\${GAME_NAME} support report.lnk|${DESKTOP_SHORTCUT}"
; An update installs where the game already is (its entry's InstallLocation); /D= still wins.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include MUI2.nsh
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
!define MUI_ICON "${ICON_SOURCE}"
!define MUI_UNICON "${ICON_SOURCE}"
; It says whether it installs, updates (from which version) or repairs ($Purpose, from .onInit).
Var Purpose
!define MUI_DIRECTORYPAGE_TEXT_TOP "$Purpose"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartGame
; The desktop shortcut, offered as the install decided it (install.nsh, ChooseDesktopShortcut).
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Keep a shortcut on the desktop"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION DesktopChoiceTaken
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowDesktopChoice
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE TakeDesktopChoice
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A version block, so that Explorer's Properties of the file name the game, its publisher and version.
VIProductVersion "${VERSION_4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${GAME_NAME}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${GAME_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${GAME_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${GAME_NAME} ${GAME_VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

Var Failed   ; what could not be removed, replaced or written, ", "-separated

; What the installer and the uninstaller both do (the uninstaller's names start with "un.").
!macro SHARED_FUNCTIONS UN
  ; Only one installer or uninstaller of the game at a time; a second one says so and exits 1.
  Function ${UN}TakeLock
    installation::Lock "${GAME_NAME}"
    Pop $0
    ${If} $0 != "ok"
      ${IfNot} ${Silent}
        MessageBox MB_OK|MB_ICONEXCLAMATION "Another installer or uninstaller of ${GAME_NAME} is running. Let it finish, then try again."
      ${EndIf}
      SetErrorLevel 1
      Quit
    ${EndIf}
  FunctionEnd

  ; This version's own list, unpacked for the plug-in.
  Function ${UN}UnpackOwnList
    InitPluginsDir
    ClearErrors
    File "/oname=${OWN_LIST}" "${OWN_LIST_SOURCE}"
    ${If} ${Errors}
      StrCpy $Failed "$Failed, ${OWN_LIST}"
    ${EndIf}
  FunctionEnd

  ; $Failed, said and ended with: the installer or uninstaller exits with code 2.
  Function ${UN}StopIfFailed
    ${If} $Failed == ""
      Return
    ${EndIf}
    StrCpy $Failed $Failed "" 2
    DetailPrint "Could not remove, replace or write: $Failed"
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONSTOP "These files of ${GAME_NAME} could not be removed, replaced or written:$\r$\n$Failed$\r$\n$\r$\nClose the programs that use them, then try again."
    ${EndIf}
    SetErrorLevel 2
    Abort
  FunctionEnd
!macroend
!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

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

!include "${SOURCE_DIR}/installer/install.nsh"
!include "${SOURCE_DIR}/installer/uninstall.nsh"
