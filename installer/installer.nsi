; The game's installer, for one player: no administrator rights, no key outside the player's own.
; Built by installer/build-installer.cmake, whose game.nsh (in the folder WORK) holds this build's
; names, programs and game files. Every shortcut it makes starts in the installation folder, where
; the launcher looks for play.lnk, play.url and the companion.
;
; An installation keeps, in its folder, the list of what it installed (installed-files.txt). The
; next installer, of this version or another, removes what that list names before it installs its
; own files, so nothing an older version installed outlives it; the uninstaller removes what the
; list names. Whatever the player added stays, and so do the folders that hold it.
;
; The launcher usually runs while the game is updated: it waits for the browser, in which the
; player may well have downloaded the update. Windows lets a running program's file be renamed but
; not written or deleted, so such a file is renamed into the folder replaced-while-running, where
; the next install or uninstall deletes it. The uninstaller ends the programs that run from the
; installation folder first (it asks, unless silent).
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
!define LIST_FILE "installed-files.txt"
!define SET_ASIDE "replaced-while-running"
; An update installs where the game already is (its entry's InstallLocation); /D= still wins.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh
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

Var Failed     ; what could not be removed, replaced or installed, ", "-separated
Var Entry      ; an entry of the installation: a path below $INSTDIR; a folder's ends in a backslash
Var EntryPath
Var Plain
Var Scan       ; Contains: the text searched, the text sought, the answer, a position, a piece
Var Sought
Var Found
Var At
Var Piece
Var List       ; the list file's handle
Var Running    ; the names of the programs that run from the installation folder, ", "-separated
Var Handle
Var Image
Var Update     ; the uninstaller: 1 when an installer runs it before installing over it

; Every installed file, and every folder the installer made (the deepest first, after the files).
!macro FOR_EACH_INSTALLED DO
  !insertmacro ${DO} "${LAUNCHER_FILE}"
  !insertmacro ${DO} "launcher-report.exe"
  !insertmacro ${DO} "LICENSE"
  !insertmacro ${DO} "THIRD-PARTY-NOTICES.txt"
  !insertmacro FOR_EACH_GAME_ENTRY ${DO}
!macroend

!macro WRITE_ENTRY ENTRY
  FileWriteUTF16LE $List "${ENTRY}$\r$\n"
!macroend

; Returns from CheckPlain when the entry, wrapped in backslashes, holds TEXT.
!macro REFUSE_PART UN TEXT
  StrCpy $Scan "\$EntryPath\"
  StrCpy $Sought "${TEXT}"
  Call ${UN}Contains
  ${If} $Found == 1
    Return
  ${EndIf}
!macroend

; What the installer and the uninstaller both do, once for each (the uninstaller's names start
; with "un.").
!macro REMOVAL_FUNCTIONS UN
  ; $Found: 1 when $Scan holds $Sought (ignoring case), else 0.
  Function ${UN}Contains
    StrLen $At $Sought
    StrCpy $Found 0
    ${DoUntil} $Scan == ""
      StrCpy $Piece $Scan $At
      ${If} $Piece == $Sought
        StrCpy $Found 1
        ${ExitDo}
      ${EndIf}
      StrCpy $Scan $Scan "" 1
    ${Loop}
  FunctionEnd

  ; $Plain: 1 when $Entry names something below the installation folder: no drive, no \ at its
  ; start, no empty, "." or ".." part, no "/". A list in the folder is the player's to change.
  ; $EntryPath: the entry without the \ that ends a folder's.
  Function ${UN}CheckPlain
    StrCpy $Plain 0
    StrCpy $EntryPath $Entry
    StrCpy $Scan $EntryPath 1 -1
    ${If} $Scan == "\"
      StrCpy $EntryPath $EntryPath -1
    ${EndIf}
    ${If} $EntryPath == ""
      Return
    ${EndIf}
    !insertmacro REFUSE_PART "${UN}" ":"
    !insertmacro REFUSE_PART "${UN}" "/"
    !insertmacro REFUSE_PART "${UN}" "\\"
    !insertmacro REFUSE_PART "${UN}" "\..\"
    !insertmacro REFUSE_PART "${UN}" "\.\"
    StrCpy $Plain 1
  FunctionEnd

  ; Removes $Entry: a file is deleted, or, when it cannot be (a program that runs), renamed into
  ; the set-aside folder; a file that stays is added to $Failed. A folder goes when it is empty.
  Function ${UN}RemoveEntry
    Call ${UN}CheckPlain
    ${If} $Plain != 1
      Return
    ${EndIf}
    ${If} $EntryPath != $Entry
      RMDir "$INSTDIR\$EntryPath"
      Return
    ${EndIf}
    StrCpy $EntryPath "$INSTDIR\$EntryPath"
    Delete $EntryPath
    ${If} ${FileExists} $EntryPath
      CreateDirectory "$INSTDIR\${SET_ASIDE}"
      GetTempFileName $Scan "$INSTDIR\${SET_ASIDE}"
      Delete $Scan
      Rename $EntryPath $Scan
    ${EndIf}
    ${If} ${FileExists} $EntryPath
      StrCpy $Failed "$Failed, $EntryPath"
    ${EndIf}
  FunctionEnd

  ; Removes what the installation's list names, when it has one; $Found: 1 when it had.
  Function ${UN}RemoveListed
    StrCpy $Found 0
    ClearErrors
    FileOpen $List "$INSTDIR\${LIST_FILE}" r
    ${If} ${Errors}
      Return
    ${EndIf}
    ${Do}
      ClearErrors
      FileReadUTF16LE $List $Entry
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      ${Do}
        StrCpy $Scan $Entry 1 -1
        ${If} $Scan != "$\r"
        ${AndIf} $Scan != "$\n"
          ${ExitDo}
        ${EndIf}
        StrCpy $Entry $Entry -1
      ${Loop}
      Call ${UN}RemoveEntry
    ${Loop}
    FileClose $List
    StrCpy $Found 1
  FunctionEnd

  ; Deletes what an earlier update set aside and is no longer running.
  Function ${UN}ClearSetAside
    Delete "$INSTDIR\${SET_ASIDE}\*.*"
    RMDir "$INSTDIR\${SET_ASIDE}"
  FunctionEnd

  ; $Failed, said and ended with: the installer or uninstaller exits with code 2.
  Function ${UN}StopIfFailed
    ${If} $Failed == ""
      Return
    ${EndIf}
    StrCpy $Failed $Failed "" 2
    DetailPrint "Could not remove or replace: $Failed"
    ${IfNot} ${Silent}
      MessageBox MB_OK|MB_ICONSTOP "These files of ${GAME_NAME} could not be removed or replaced:$\r$\n$Failed$\r$\n$\r$\nClose the programs that use them, then try again."
    ${EndIf}
    SetErrorLevel 2
    Abort
  FunctionEnd
!macroend
!insertmacro REMOVAL_FUNCTIONS ""
!insertmacro REMOVAL_FUNCTIONS "un."

; Installs one file: what was there goes first (set aside when it runs), and a file that could not
; be written is added to $Failed.
!macro INSTALL_FILE FOLDER NAME SOURCE
  StrCpy $Entry "${FOLDER}\${NAME}"
  StrCpy $Entry $Entry "" 1  ; below $INSTDIR, from "\name" or "\folder\name"
  Call RemoveEntry
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

Function .onInit
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
  StrCpy $Failed ""
  SetOutPath "$INSTDIR"
  Call ClearSetAside
  Call RemoveListed
  ${If} $Found != 1
  ${AndIf} ${FileExists} "$INSTDIR\uninstall.exe"
    ; An installation from before the list: only its own uninstaller knows what it holds. In place,
    ; silently; it leaves what runs, which the files below then set aside.
    ExecWait "$\"$INSTDIR\uninstall.exe$\" /S /update _?=$INSTDIR"
  ${EndIf}
  Call StopIfFailed

  ; The list first: should an install stop half-way, the next one still knows what may be here.
  SetOutPath "$INSTDIR"
  ClearErrors
  FileOpen $List "$INSTDIR\${LIST_FILE}" w
  FileWriteUTF16LE /BOM $List ""
  !insertmacro FOR_EACH_INSTALLED WRITE_ENTRY
  FileClose $List
  ${If} ${Errors}
    StrCpy $Failed "$Failed, $INSTDIR\${LIST_FILE}"
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
  CreateShortCut "$DESKTOP\${GAME_NAME}.lnk" "$INSTDIR\${LAUNCHER_FILE}" "" "$INSTDIR\${LAUNCHER_FILE}" 0
  !insertmacro EXPECT_MADE "${START_MENU}\${GAME_NAME}.lnk"
  !insertmacro EXPECT_MADE "${START_MENU}\${GAME_NAME} support report.lnk"
  !insertmacro EXPECT_MADE "$DESKTOP\${GAME_NAME}.lnk"

  ; The entry in Installed apps, for this player only; installing again writes the same key. The
  ; uninstaller runs in place (_?=), so that whoever starts it gets its real exit code.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${GAME_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${GAME_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${LAUNCHER_FILE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${GameSection} $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  Call StopIfFailed
SectionEnd

; --- The uninstaller ---

!macro REMOVE_ENTRY ENTRY
  StrCpy $Entry "${ENTRY}"
  Call un.RemoveEntry
!macroend

!macro REMOVE_SHORTCUT FILE
  Delete "${FILE}"
  ${If} ${FileExists} "${FILE}"
    StrCpy $Failed "$Failed, ${FILE}"
  ${EndIf}
!macroend

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
FunctionEnd

; Ends what runs from the installation folder, takes away what the installation holds (its list,
; or this build's own when it has none) and each of its folders once empty, and the entry last,
; once every file is gone. Whatever the player added stays. Anything that cannot be removed is
; said; the entry and this uninstaller stay, so the player can try again, and the exit code is 2.
Section "Uninstall"
  ; The current folder, and the one Exec starts the finishing copy in: not the one to remove.
  SetOutPath "$TEMP"
  StrCpy $Failed ""
  ; /update: run by an installer over an installation without a list, which installs next.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/update" $1
  ${If} ${Errors}
    StrCpy $Update 0
  ${Else}
    StrCpy $Update 1
  ${EndIf}
  ${If} $Update == 0
    StrCpy $0 "list"
    Call un.ProgramsInFolder
    ${If} $Running != ""
      ${IfNot} ${Silent}
        MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "${GAME_NAME} is still running: $Running.$\r$\n$\r$\nThe uninstaller ends it before it removes the game. Save what you are doing first, then choose OK." IDOK end_programs
        SetErrorLevel 1
        Abort "${GAME_NAME} was not uninstalled: it is still running."
      end_programs:
      ${EndIf}
      StrCpy $0 "end"
      Call un.ProgramsInFolder
    ${EndIf}
  ${EndIf}

  Call un.ClearSetAside
  Call un.RemoveListed
  ${If} $Found != 1
    !insertmacro FOR_EACH_INSTALLED REMOVE_ENTRY
  ${EndIf}
  !insertmacro REMOVE_SHORTCUT "${START_MENU}\${GAME_NAME}.lnk"
  !insertmacro REMOVE_SHORTCUT "${START_MENU}\${GAME_NAME} support report.lnk"
  RMDir "${START_MENU}"
  !insertmacro REMOVE_SHORTCUT "$DESKTOP\${GAME_NAME}.lnk"
  ${If} ${FileExists} "$INSTDIR\${SET_ASIDE}\*.*"
    StrCpy $Failed "$Failed, $INSTDIR\${SET_ASIDE}"
  ${EndIf}
  Call un.StopIfFailed

  Delete "$INSTDIR\${LIST_FILE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ${If} $Update == 1
    Return
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
