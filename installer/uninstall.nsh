; The uninstaller (included by installer.nsi). It ends what runs from the installation folder, has
; the plug-in remove what the installation's record names (as far as it can be trusted) and this
; version's own files, each of their folders once empty, and then, only when this game's entry
; names this folder, the shortcuts the entry lists and the entry itself. Whatever the player added
; stays. Anything that cannot be removed is said; the entry and this uninstaller stay, so the player
; can try again, and the exit code is 2.

Var Update   ; 1 when an installer runs this uninstaller before installing over it
Var Owner    ; 1 when this game's entry names this folder: the entry and the shortcuts are ours
Var Remains  ; 1 when the record could not be trusted: files of older versions may remain
Var Running  ; the names of the programs that run from the installation folder, ", "-separated
Var Handle
Var Image

; After a System call whose answer is in $9 and whose text is in $8: $Image takes the text when
; the call was made and succeeded.
!macro TAKE_IMAGE
  ${If} $9 != 0
  ${AndIf} $9 != "error"
    StrCpy $Image $8
  ${EndIf}
!macroend

; $Running: the programs that run from the installation folder (not this uninstaller), by name.
; With $0 = "end", each is ended too. A process's full image path comes from
; QueryFullProcessImageNameW (Vista on) or, before Vista, psapi's GetModuleFileNameExW; both are
; bound by name at run time, so the uninstaller still starts on Windows 2000.
Function un.ProgramsInFolder
  StrCpy $Running ""
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
  ${If} $2 == 0
  ${OrIf} $2 == "error"
    StrCpy $1 $INSTDIR
  ${EndIf}
  StrCpy $1 "$1\"
  StrLen $2 $1
  System::Call 'kernel32::GetCurrentProcessId() i .r3'
  System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r4'
  ${If} $4 == -1
  ${OrIf} $4 == "error"
    Return
  ${EndIf}
  ; PROCESSENTRY32W, with its size first: the process id is at offset 8 on both architectures.
  System::Alloc 1024
  Pop $5
  !if ${NSIS_PTR_SIZE} > 4
    System::Call '*$5(i 568)'
  !else
    System::Call '*$5(i 556)'
  !endif
  System::Call 'kernel32::Process32FirstW(p r4, p r5) i .r6'
  ${DoWhile} $6 != 0
    System::Call '*$5(i, i, i .r7)'
    StrCpy $Image ""
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION (Vista on) | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x101001, i 0, i r7) p .s'
    Pop $Handle
    ${If} $Handle != 0
      System::Call 'kernel32::QueryFullProcessImageNameW(p $Handle, i 0, w .r8, *i ${NSIS_MAX_STRLEN}) i .r9'
      !insertmacro TAKE_IMAGE
    ${Else}
      ; SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE
      System::Call 'kernel32::OpenProcess(i 0x100411, i 0, i r7) p .s'
      Pop $Handle
      ${If} $Handle != 0
        System::Call 'psapi::GetModuleFileNameExW(p $Handle, p 0, w .r8, i ${NSIS_MAX_STRLEN}) i .r9'
        !insertmacro TAKE_IMAGE
      ${EndIf}
    ${EndIf}
    ${If} $Image != ""
    ${AndIf} $7 != $3
      System::Call 'kernel32::GetLongPathNameW(w "$Image", w .r8, i ${NSIS_MAX_STRLEN}) i .r9'
      !insertmacro TAKE_IMAGE
      StrCpy $8 $Image $2
      ${If} $8 == $1
        ${GetFileName} $Image $8
        StrCpy $Running "$Running, $8"
        ${If} $0 == "end"
          System::Call 'kernel32::TerminateProcess(p $Handle, i 1)'
          System::Call 'kernel32::WaitForSingleObject(p $Handle, i 10000)'
        ${EndIf}
      ${EndIf}
    ${EndIf}
    ${If} $Handle != 0
      System::Call 'kernel32::CloseHandle(p $Handle)'
    ${EndIf}
    System::Call 'kernel32::Process32NextW(p r4, p r5) i .r6'
  ${Loop}
  System::Free $5
  System::Call 'kernel32::CloseHandle(p r4)'
  StrCpy $Running $Running "" 2
FunctionEnd

Function un.onInit
  SetShellVarContext current
  ; Started by the uninstaller that ran in place, from a copy of it in the temporary folder (the
  ; one NSIS makes when an uninstaller starts without _?=): once that one has ended, its own file
  ; and the installation folder go.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/finish=" $1
  ${IfNot} ${Errors}
    SetOutPath "$TEMP"  ; Windows removes no folder that is a process's current one
    System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i r1) p .r2'
    ${If} $2 != 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 60000)'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    ${For} $3 1 50
      Delete "$INSTDIR\uninstall.exe"
      ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe"
        ${Break}
      ${EndIf}
      Sleep 200
    ${Next}
    RMDir "$INSTDIR"
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

; Ends the programs that run from the installation folder; interactively, once the player agrees.
Function un.EndPrograms
  StrCpy $0 "list"
  Call un.ProgramsInFolder
  ${If} $Running == ""
    Return
  ${EndIf}
  ${IfNot} ${Silent}
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "${GAME_NAME} is still running: $Running.$\r$\n$\r$\nThe uninstaller ends it before it removes the game. Save what you are doing first, then choose OK." IDOK end_programs
    SetErrorLevel 1
    Abort "${GAME_NAME} was not uninstalled: it is still running."
  end_programs:
  ${EndIf}
  StrCpy $0 "end"
  Call un.ProgramsInFolder
FunctionEnd

; The game's files, as the plug-in decides them.
Function un.RemoveFiles
  StrCpy $Remains 0
  Call un.UnpackOwnList
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
    System::Call 'kernel32::GetCurrentProcessId() i .r1'
    Exec "$\"$INSTDIR\uninstall.exe$\" /finish=$1"
  ${Else}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd
