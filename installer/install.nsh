; The install, and the update over an earlier one (included by installer.nsi).
;
; An installation keeps, in its folder, the record of what it installed (installed-files.txt,
; written by the plug-in). An update is all or nothing: before it writes its files, the plug-in
; moves aside (into the folder replaced-while-running, journaled) every file that record names and
; every file of this version that is there, the record and uninstall.exe. Should any later step
; fail, they come back and the game is as it was; once the new version is whole, the entry is
; written, then the record, and what was set aside goes (what still runs, the next time). The
; plug-in trusts a record only whole and plain throughout; without one it can trust it touches
; nothing but this version's own files, as anything else might be the player's. Whatever the
; player added stays, and so do the folders that hold it.
;
; The launcher usually runs while the game is updated: it waits for the browser, in which the
; player may well have downloaded the update. Windows lets a running program's file be renamed but
; not written or deleted, which is what setting it aside does.

Var Location  ; the folder this game's entry names, "" when it has none
Var Installed ; the version this game's entry names, "" when it has none
Var DesktopChoice ; 1 when the desktop shortcut is to be there
Var Record    ; what the installation's record was: trusted, legacy, untrusted, missing (nolist)

Function .onInit
  SetShellVarContext current
  Call TakeLock
  Call RefuseDowngrade
  Call ChooseDesktopShortcut
  ${If} $Installed == ""
    StrCpy $Purpose "Setup will install ${GAME_NAME} ${GAME_VERSION} in the following folder."
  ${ElseIf} $Installed == "${GAME_VERSION}"
    StrCpy $Purpose "${GAME_NAME} ${GAME_VERSION} is installed: Setup will repair it, keeping your files and choices."
  ${Else}
    StrCpy $Purpose "Setup will update ${GAME_NAME} from version $Installed to ${GAME_VERSION}, keeping your files and choices."
  ${EndIf}
FunctionEnd

; The desktop shortcut: there by default. An earlier install's choice holds (the entry remembers
; it), and a shortcut the player deleted since stays deleted; /NODESKTOP leaves it out.
Function ChooseDesktopShortcut
  StrCpy $DesktopChoice 1
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DesktopShortcut"
  ReadRegStr $Location HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == "0"
    StrCpy $DesktopChoice 0
  ${ElseIf} $Location != ""
  ${AndIfNot} ${FileExists} "${DESKTOP_SHORTCUT}"
    StrCpy $DesktopChoice 0
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/NODESKTOP" $2
  ${IfNot} ${Errors}
    StrCpy $DesktopChoice 0
  ${EndIf}
FunctionEnd

; The finish page's box shows the choice; a change made there is carried out, and remembered.
Function ShowDesktopChoice
  ${If} $DesktopChoice == 1
    SendMessage $mui.FinishPage.ShowReadme ${BM_SETCHECK} 1 0  ; BST_CHECKED
  ${Else}
    SendMessage $mui.FinishPage.ShowReadme ${BM_SETCHECK} 0 0
  ${EndIf}
FunctionEnd

Function TakeDesktopChoice
  SendMessage $mui.FinishPage.ShowReadme ${BM_GETCHECK} 0 0 $0
  ${If} $0 == 1
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  ${If} $0 == $DesktopChoice
    Return
  ${EndIf}
  StrCpy $DesktopChoice $0
  ${If} $DesktopChoice == 1
    SetOutPath "$INSTDIR"
    CreateShortCut "${DESKTOP_SHORTCUT}" "$INSTDIR\${LAUNCHER_FILE}" "" "$INSTDIR\${LAUNCHER_FILE}" 0
  ${Else}
    Delete "${DESKTOP_SHORTCUT}"
  ${EndIf}
  Call RememberShortcuts
FunctionEnd

; What the finish page does for a checked box: TakeDesktopChoice has done it.
Function DesktopChoiceTaken
FunctionEnd

; The entry's DesktopShortcut and Shortcuts, as $DesktopChoice says.
Function RememberShortcuts
  StrCpy $0 "${SHORTCUTS}"
  ${If} $DesktopChoice != 1
    StrCpy $0 "${START_MENU}\${GAME_NAME}.lnk|${START_MENU}\${GAME_NAME} support report.lnk"
  ${EndIf}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Shortcuts" "$0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DesktopShortcut" "$DesktopChoice"
FunctionEnd

; An older version over a newer one is asked first (default: no); silently it is refused with exit
; code 3 and nothing changed, unless the command line says /DOWNGRADE.
Function RefuseDowngrade
  ReadRegStr $Installed HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  installation::CompareVersions "${GAME_VERSION}" "$Installed"
  Pop $0
  ${If} $0 != "-1"
    Return
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/DOWNGRADE" $2
  ${IfNot} ${Errors}
    Return
  ${EndIf}
  ${IfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "${GAME_NAME} $Installed is installed, which is newer than ${GAME_VERSION}.$\r$\n$\r$\nReplace it with the older version ${GAME_VERSION}?" IDYES downgrade
  ${EndIf}
  SetErrorLevel 3
  Quit
  downgrade:
FunctionEnd

; Installs one file; one that could not be written is added to $Failed. What was there before is
; already set aside (BeginUpdate).
!macro INSTALL_FILE FOLDER NAME SOURCE
  SetOutPath "$INSTDIR${FOLDER}"
  ClearErrors
  File "/oname=${NAME}" "${SOURCE}"
  ${If} ${Errors}
    StrCpy $Failed "$Failed, $INSTDIR${FOLDER}\${NAME}"
  ${EndIf}
!macroend

!macro EXPECT_MADE FILE
  ${IfNot} ${FileExists} "${FILE}"
    StrCpy $Failed "$Failed, ${FILE}"
  ${EndIf}
!macroend

; An installation from before records: only its own uninstaller knows what it holds. It is run
; (in place, silently) only when this game's entry names this very folder: an uninstall.exe in a
; folder named with /D= may well be another program's.
Function RunUninstallerFromBeforeRecords
  ${If} $Record != "missing"
  ${OrIfNot} ${FileExists} "$INSTDIR\uninstall.exe"
    Return
  ${EndIf}
  ReadRegStr $Location HKCU "${UNINSTALL_KEY}" "InstallLocation"
  installation::SameFolder "$Location" "$INSTDIR"
  Pop $0
  ${If} $0 == 1
    ; It leaves what runs, which BeginUpdate then sets aside with the rest.
    ExecWait "$\"$INSTDIR\uninstall.exe$\" /S /update _?=$INSTDIR"
  ${EndIf}
FunctionEnd

Section "-Game" GameSection
  StrCpy $Failed ""
  SetOutPath "$INSTDIR"
  Call UnpackOwnList
  Call StopIfFailed
  installation::RecordState "$INSTDIR"
  Pop $Record
  Call RunUninstallerFromBeforeRecords

  ; All or nothing: every file this update replaces or removes goes aside first (a running one
  ; too), and comes back should any later step fail.
  installation::BeginUpdate "$INSTDIR" "${OWN_LIST}"
  Pop $Record
  Pop $0
  ${If} $0 != ""
    StrCpy $Failed "$Failed, $0"
  ${EndIf}
  ${If} $Record == "nolist"
    StrCpy $Failed "$Failed, ${OWN_LIST}"
  ${EndIf}
  Call StopIfFailed
  ${If} $Record == "untrusted"
    DetailPrint "The list of installed files was damaged: only this version's files were replaced."
  ${EndIf}

  !insertmacro INSTALL_FILE "" "${LAUNCHER_FILE}" "${LAUNCHER_SOURCE}"
  !insertmacro INSTALL_FILE "" "launcher-report.exe" "${REPORT_SOURCE}"
  !insertmacro INSTALL_FILE "" "LICENSE" "${LICENSE_SOURCE}"
  !insertmacro INSTALL_FILE "" "THIRD-PARTY-NOTICES.txt" "${NOTICES_SOURCE}"
  !insertmacro INSTALL_GAME_FILES
  SetOutPath "$INSTDIR"
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    StrCpy $Failed "$Failed, $INSTDIR\uninstall.exe"
  ${EndIf}

  ; CreateShortCut takes the output folder as the shortcut's working folder ("Start in").
  SetOutPath "$INSTDIR"
  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\${GAME_NAME}.lnk" "$INSTDIR\${LAUNCHER_FILE}" "" "$INSTDIR\${LAUNCHER_FILE}" 0
  CreateShortCut "${START_MENU}\${GAME_NAME} support report.lnk" "$INSTDIR\launcher-report.exe"
  !insertmacro EXPECT_MADE "${START_MENU}\${GAME_NAME}.lnk"
  !insertmacro EXPECT_MADE "${START_MENU}\${GAME_NAME} support report.lnk"
  ${If} $DesktopChoice == 1
    CreateShortCut "${DESKTOP_SHORTCUT}" "$INSTDIR\${LAUNCHER_FILE}" "" "$INSTDIR\${LAUNCHER_FILE}" 0
    !insertmacro EXPECT_MADE "${DESKTOP_SHORTCUT}"
  ${ElseIf} $Location != ""
    Delete "${DESKTOP_SHORTCUT}"  ; an earlier install's, which the player now declines
  ${EndIf}

  ; The entry in Installed apps, for this player only, written last; installing again writes the
  ; same key. The uninstaller runs in place (_?=), so that whoever starts it gets its real exit
  ; code. Shortcuts names what this install made, which the uninstall of this folder removes, and
  ; nothing else.
  ${If} $Failed == ""
    ClearErrors
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${GAME_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${GAME_VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LAUNCHER_FILE},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    Call RememberShortcuts
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${SITE}"
    ${GetTime} "" "L" $1 $2 $3 $4 $5 $6 $7  ; day, month, year (local)
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallDate" "$3$2$1"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize ${GameSection} $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    ${If} ${Errors}
      StrCpy $Failed "$Failed, HKEY_CURRENT_USER\${UNINSTALL_KEY}"
    ${EndIf}
  ${EndIf}
  ${If} $Failed != ""
    ; The earlier version comes back whole: its files, its record and its uninstaller.
    installation::RollBackUpdate "$INSTDIR"
    Pop $0
    ${If} $0 == ""
      DetailPrint "Nothing was changed: ${GAME_NAME} is as it was before this installer started."
    ${Else}
      StrCpy $Failed "$Failed, $0"
    ${EndIf}
    Call StopIfFailed
  ${EndIf}
  ; The record names this version's files alone; then the earlier version's leftovers go.
  installation::CommitUpdate "$INSTDIR" "${OWN_LIST}"
  Pop $0
  ${If} $0 != "ok"
    DetailPrint "The list of installed files still names the earlier version's: the next update or uninstall removes what it left."
  ${EndIf}
SectionEnd
