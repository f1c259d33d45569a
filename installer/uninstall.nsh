; The uninstaller (included by installer.nsi). It ends the installation's programs that run, has
; the plug-in remove what the installation's record names (as far as it can be trusted) and this
; version's own files, each of their folders once empty, and then, only when this game's entry
; names this folder, the shortcuts the entry lists and the entry itself. Whatever the player added
; stays. Anything that cannot be removed is said; the entry and this uninstaller stay, so the player
; can try again, and the exit code is 2.

Var Update   ; 1 when an installer runs this uninstaller before installing over it
Var Owner    ; 1 when this game's entry names this folder: the entry and the shortcuts are ours
Var Remains  ; 1 when the record could not be trusted: files of older versions may remain
Var Running  ; the installation's programs that run, by their installed names, ", "-separated

Function un.onInit
  SetShellVarContext current
  ; Started by the uninstaller that ran in place, from a copy of it in the temporary folder (the
  ; one NSIS makes when an uninstaller starts without _?=): once that one has ended, however long
  ; the player leaves its last page open, its own file and the installation folder go.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/finish=" $1
  ${IfNot} ${Errors}
    SetOutPath "$TEMP"  ; Windows removes no folder that is a process's current one
    installation::FinishUninstall "$1" "$INSTDIR" "${GAME_NAME}"
    Pop $0
    Quit
  ${EndIf}
  ; /update: run by an installer (which holds the lock) over an installation without a record,
  ; which it installs next: it ends nothing, and leaves the entry, the shortcuts and uninstall.exe.
  ClearErrors
  ${GetOptions} $0 "/update" $1
  ${If} ${Errors}
    StrCpy $Update 0
    Call un.TakeLock
  ${Else}
    StrCpy $Update 1
  ${EndIf}
FunctionEnd

; Ends the installation's programs that run (its own files' and those an update set aside, not
; another program in the folder); interactively, once the player agrees. One that cannot be ended
; (started as administrator) stops the uninstall, exit code 2, before anything is removed.
Function un.EndPrograms
  installation::RunningPrograms "$INSTDIR" "${OWN_LIST}"
  Pop $Running
  ${If} $Running == ""
    Return
  ${EndIf}
  ${IfNot} ${Silent}
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "${GAME_NAME} is still running: $Running.$\r$\n$\r$\nThe uninstaller closes it before it removes the game. Save what you are doing first, then choose OK." IDOK end_programs
    SetErrorLevel 1
    Abort "${GAME_NAME} was not uninstalled: it is still running."
  end_programs:
  ${EndIf}
  installation::EndPrograms "$INSTDIR" "${OWN_LIST}"
  Pop $0
  ${If} $0 != ""
    DetailPrint "Could not close: $0"
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONSTOP "${GAME_NAME} could not close $0: it was started as administrator.$\r$\n$\r$\nClose it yourself, then uninstall again."
    ${EndIf}
    SetErrorLevel 2
    Abort "${GAME_NAME} was not uninstalled: $0 still runs."
  ${EndIf}
FunctionEnd

; The game's files, as the plug-in decides them.
Function un.RemoveFiles
  StrCpy $Remains 0
  installation::Uninstall "$INSTDIR" "${OWN_LIST}"
  Pop $1
  Pop $0
  ${If} $0 != ""
    StrCpy $Failed "$Failed, $0"
  ${EndIf}
  ${If} $1 == "nolist"
    StrCpy $Failed "$Failed, ${OWN_LIST}"
  ${ElseIf} $1 == "untrusted"
    StrCpy $Remains 1
  ${EndIf}
FunctionEnd

; The shortcuts the entry lists (or, in an entry from before that list, the ones every install
; made), when the entry names this folder.
Function un.RemoveShortcuts
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  installation::SameFolder "$0" "$INSTDIR"
  Pop $Owner
  ${If} $Owner != 1
    Return
  ${EndIf}
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "Shortcuts"
  ${If} $0 == ""
    StrCpy $0 "${SHORTCUTS}"
  ${EndIf}
  installation::RemoveShortcuts "$0"
  Pop $0
  ${If} $0 != ""
    StrCpy $Failed "$Failed, $0"
  ${EndIf}
  RMDir "${START_MENU}"
FunctionEnd

Section "Uninstall"
  ; The current folder, and the one Exec starts the finishing copy in: not the one to remove.
  SetOutPath "$TEMP"
  StrCpy $Failed ""
  StrCpy $Owner 0
  Call un.UnpackOwnList
  ${If} $Update == 0
    Call un.EndPrograms
  ${EndIf}
  Call un.RemoveFiles
  ${If} $Update == 0
    Call un.RemoveShortcuts
  ${EndIf}
  Call un.StopIfFailed

  ${If} $Owner == 1
    ClearErrors
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${If} ${Errors}
      StrCpy $Failed ", HKEY_CURRENT_USER\${UNINSTALL_KEY}"
      Call un.StopIfFailed
    ${EndIf}
  ${EndIf}
  ${If} $Update == 1
    Return
  ${EndIf}
  ${If} $Remains == 1
    ; Said, and the exit code is 2: the uninstall is not known to be whole.
    DetailPrint "The list of installed files was damaged: files of earlier versions may remain in $INSTDIR."
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONEXCLAMATION "${GAME_NAME} was uninstalled, but its list of installed files was damaged: files of earlier versions may remain in$\r$\n$INSTDIR$\r$\n$\r$\nDelete that folder yourself once you have kept what is yours in it."
    ${EndIf}
    SetErrorLevel 2
  ${EndIf}
  ; This uninstaller's own file: one that runs in place cannot delete it, nor rename it (NSIS
  ; keeps it open), so a copy of it finishes once it has ended.
  ${If} $EXEPATH == "$INSTDIR\uninstall.exe"
    installation::ProcessId
    Pop $1
    Exec "$\"$INSTDIR\uninstall.exe$\" /finish=$1"
  ${Else}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd
