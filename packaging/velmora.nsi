; Velmora's setup program and uninstaller: per user, in English and Korean, NT line only
; (a Unicode NSIS program does not start on Windows 9x; the portable zip is
; for those). Built by packaging/pack.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=a.b.c.d -DBINDIR=<bin> -DICON=<ico> -DOUTFILE=<exe> [-DSIGNSCRIPT=<sign.sh>] velmora.nsi
; -DTARGET=amd64-unicode builds the 64-bit stand-in that tests take where
; 32-bit programs cannot start; never shipped.
; The installed files keep the times of those in BINDIR (pack.sh: the commit's).
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
!if "${TARGET}" == "amd64-unicode"
  !define PROGRAMS "$PROGRAMFILES64"
!else
  !define PROGRAMS "$PROGRAMFILES32"
!endif
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written stops the setup instead of being skipped.
AllowSkipFiles off
; sign.sh readies the uninstaller for Authenticode, and signs it in a signed
; build, before it goes in.
!ifdef SIGNSCRIPT
  !uninstfinalize 'bash "${SIGNSCRIPT}" "%1"' = 0
!endif
; pack.sh's copies of the plug-ins, signed in a signed build.
!ifdef PLUGINDIR
  !addplugindir /${TARGET} "${PLUGINDIR}"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include WordFunc.nsh
!include FileFunc.nsh

; The program's own names: window class, mutex and Run value share "Velmora5".
!define INSTANCE "Velmora5"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora5"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "SOFTWARE\Quor\Velmora5"
; Machine copy: every user's Run value is written, and on removal cleaned,
; once at that user's next logon. Each step forgets the other's record, so a
; later reinstall or removal runs again for everyone.
!define ACTIVE_SETUP "Software\Microsoft\Active Setup\Installed Components"
!define LOGON_STEP "Velmora5"
!define REMOVAL_STEP "Velmora5.Remove"
; After a machine copy moved into Program Files: each user's Run value that
; starts the old copy starts the new one from that user's next logon.
!define MOVE_STEP "Velmora5.Move"
; The Run value that the program writes while the logon-start policy is
; "Enabled", beside the user's own.
!define POLICY_RUN "Velmora5.Policy"

Name "Velmora"
OutFile "${OUTFILE}"
BrandingText "Velmora ${VERSION}"
InstallDir "$LOCALAPPDATA\Programs\Velmora"
; An update goes where the last install went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
; The log stays behind the details button.
ShowInstDetails hide
ShowUninstDetails hide

Var RunAtStartup
Var StartAfter
Var RunBox
; 1: for every user of the machine (HKLM, Program Files, Active Setup)
Var AllUsers
Var AsSystem
Var ScopeFixed
Var ScopeMeBox
Var FolderGiven
; 1: the elevated part of an interactive "for everyone" setup (/NOUSER):
; it writes nothing under HKCU, which is the elevating account's, and starts
; nothing; the unelevated parent does both for its user. In the uninstaller
; the same: the removal started by the user's own process (the one started
; from the entry, or by a double click) asks and cleans that user's part.
Var NoUser
; 1: the interactive "for everyone" setup hands the machine's part to a
; child (elevated when this one has no rights) and keeps the user's part.
Var HandOver
; The folder of the copy that this update replaces, when it moves.
Var OldFolder
; keep or delete: the user's answer about the settings, on removal.
Var Settings

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The finished progress page stays, so that its log can be read.
!define MUI_FINISHPAGE_NOAUTOCLOSE
; NSIS's own welcome text speaks of system files and restarting.
!define MUI_WELCOMEPAGE_TITLE "$(WelcomeTitle)"
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
Page custom ScopePage ScopeLeave
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsLeave
!insertmacro MUI_PAGE_INSTFILES
; The box only marks the choice; the program starts once the setup closes
; (.onInstSuccess), not behind the finish page.
; A file in use asks for a restart; it is never preselected, since it ends
; every user's session.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!define MUI_FINISHPAGE_TITLE "$(FinishTitle)"
!define MUI_FINISHPAGE_TEXT "$(FinishText)"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunVelmora)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAfterFinish
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; No language question, silent or not: the interface language decides, and
; NSIS falls back to the first language inserted.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"
!include "lang.nsh"


VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_KOREAN} "ProductName" "Velmora"
VIAddVersionKey /LANG=${LANG_KOREAN} "CompanyName" "Quor"
VIAddVersionKey /LANG=${LANG_KOREAN} "FileDescription" "Velmora 설치"
VIAddVersionKey /LANG=${LANG_KOREAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_KOREAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_KOREAN} "LegalCopyright" "Copyright (C) 2026 Quor"

; StopVelmora EXE: ends the running copies with "EXE /Stop", which waits
; for them and changes nothing in the registry. An older program does not
; know the switch, so wait (bounded) for the instance's process here too:
; its files are free only once the process is gone. The uninstaller ends
; only the copies of its own folder ("/StopHere", which its own program,
; installed with it, knows): a machine copy keeps running.
!macro DEFINE_STOP_VELMORA UN SWITCH
Function ${UN}StopVelmora
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 0
  FindWindow $R1 "${INSTANCE}"
  ${If} $R1 <> 0
  ${AndIf} "${SWITCH}" == "/Stop"
    System::Call 'user32::GetWindowThreadProcessId(p R1, *i .R2)'
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .R3'
  ${EndIf}
  ExecWait '"$R0" ${SWITCH}'
  ${If} $R3 <> 0
    System::Call 'kernel32::WaitForSingleObject(p R3, i 15000)'
    System::Call 'kernel32::CloseHandle(p R3)'
  ${EndIf}
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro DEFINE_STOP_VELMORA "" /Stop
!insertmacro DEFINE_STOP_VELMORA "un." /StopHere

; Bad input: a deployment tool runs us silently and reads the exit code, and
; stderr when it keeps it; a person gets a message box.
!macro DEFINE_REFUSE UN
Function ${UN}Refuse ; text, exit code
  Exch $1
  Exch
  Exch $0
  ${If} ${Silent}
    System::Call 'kernel32::GetStdHandle(i -12) p .r2'
    System::Alloc 2048
    Pop $3
    System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w "$0$\r$\n", i -1, p r3, i 2048, p 0, p 0) i .r4'
    ${If} $2 <> 0
    ${AndIf} $4 > 1
      IntOp $4 $4 - 1
      System::Call 'kernel32::WriteFile(p r2, p r3, i r4, *i .r5, p 0)'
    ${EndIf}
    System::Free $3
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "$0"
  ${EndIf}
  SetErrorLevel $1
  Quit
FunctionEnd
!macroend
!insertmacro DEFINE_REFUSE ""
!insertmacro DEFINE_REFUSE "un."

; Only an elevated token writes HKLM and Program Files.
!macro DEFINE_IS_ADMIN UN
Function ${UN}IsAdmin
  Push $0
  System::Call 'shell32::IsUserAnAdmin() i .r0'
  ${IfThen} $0 <> 0 ${|} StrCpy $0 1 ${|}
  Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_IS_ADMIN ""
!insertmacro DEFINE_IS_ADMIN "un."

; RunElevated FILE PARAMETERS: starts FILE with the UAC prompt, waits for it
; and leaves its exit code on the stack, or "error" when it did not start
; (the prompt declined, no rights to be had).
!macro DEFINE_RUN_ELEVATED UN
Function ${UN}RunElevated
  Exch $R1
  Exch
  Exch $R0
  Push $R2
  Push $R3
  ; SHELLEXECUTEINFOW, SEE_MASK_NOCLOSEPROCESS; hProcess is its last member.
  System::Call '*(&l4, i 0x40, p $HWNDPARENT, w "runas", w R0, w R1, p 0, i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .R2'
  System::Call 'shell32::ShellExecuteExW(p R2) i .R3'
  ${If} $R3 <> 0
    System::Call '*$R2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .R3)'
    System::Call 'kernel32::WaitForSingleObject(p R3, i -1)'
    System::Call 'kernel32::GetExitCodeProcess(p R3, *i .R1)'
    System::Call 'kernel32::CloseHandle(p R3)'
  ${Else}
    StrCpy $R1 error
  ${EndIf}
  System::Free $R2
  Pop $R3
  Pop $R2
  Pop $R0
  Exch $R1
FunctionEnd
!macroend
!insertmacro DEFINE_RUN_ELEVATED ""
!insertmacro DEFINE_RUN_ELEVATED "un."

; One machine copy at a time: the MSI's (found by its UpgradeCode) stops a
; machine setup, which would share its folder and logon step.
Function RefuseBesideMsiCopy
  System::Call 'msi::MsiEnumRelatedProductsW(w "{2431F988-FFF1-4BC6-816D-9B6ACBE9CE2D}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == 0
    Push $(ErrMsiCopy)
    Push 1638
    Call Refuse
  ${EndIf}
FunctionEnd

; A machine copy runs at every user's logon, administrators' included: only
; under Program Files, which only administrators may change. 1 or 0.
Function IsProtectedFolder
  Push $0
  Push $1
  Push $2
  ClearErrors
  GetFullPathName $0 $INSTDIR
  ${IfThen} $0 == "" ${|} StrCpy $0 $INSTDIR ${|}
  StrCpy $2 0
  StrLen $1 "$PROGRAMFILES32\"
  StrCpy $1 $0 $1
  ${IfThen} $1 == "$PROGRAMFILES32\" ${|} StrCpy $2 1 ${|}
  StrLen $1 "$PROGRAMFILES64\"
  StrCpy $1 $0 $1
  ${IfThen} $1 == "$PROGRAMFILES64\" ${|} StrCpy $2 1 ${|}
  StrCpy $0 $2
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; A machine copy that an earlier version installed outside Program Files
; is updated there: the new one goes into Program Files, and the Section
; removes the old one (RemoveOldCopy).
Function MoveIntoProgramFiles
  ${If} $AllUsers == 1
    Call IsProtectedFolder
    Pop $1
    ${IfThen} $1 != 1 ${|} StrCpy $INSTDIR "${PROGRAMS}\Velmora" ${|}
  ${EndIf}
FunctionEnd

; Silently a refusal; on the directory page a message, and the page stays.
Function DirectoryLeave
  ${If} $AllUsers == 1
    Call IsProtectedFolder
    Pop $0
    ${If} $0 != 1
      MessageBox MB_OK|MB_ICONSTOP $(ErrFolder)
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

; The user's own part of a machine install that a child did (HandOver):
; the Run value as the options page says, the logon step's record. The
; start is the finish page's (.onInstSuccess).
Function UserPartOfMachineInstall
  ${If} $RunAtStartup == ${BST_CHECKED}
    WriteRegStr HKCU "${RUN_KEY}" "${INSTANCE}" '"$INSTDIR\Velmora.exe" /background'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${INSTANCE}"
  ${EndIf}
  WriteRegStr HKCU "${ACTIVE_SETUP}\${LOGON_STEP}" "Version" "1"
  WriteRegStr HKCU "Software\Wow6432Node\Microsoft\Active Setup\Installed Components\${LOGON_STEP}" "Version" "1"
FunctionEnd

; ChildOfMachineSetup: the child's program and parameters for the machine's
; part. The elevated side has neither this logon session's drive letters
; nor, when another account elevates, its network credentials, so the child
; runs from a copy on the local disk; the folder page's choice goes with it
; (/D= last, unquoted). Leaves the parameters, then the program.
Function ChildOfMachineSetup
  InitPluginsDir
  CopyFiles /SILENT "$EXEPATH" "$PLUGINSDIR\setup.exe"
  Push "$PLUGINSDIR\setup.exe"
  Push "/S /ALLUSERS /NOUSER /D=$INSTDIR"
FunctionEnd

; 1 when the setup runs as LocalSystem (a deployment tool), else 0.
Function IsSystem
  Push $0
  Push $1
  Push $2
  StrCpy $0 0
  System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r1) i .r2'
  ${If} $2 <> 0
    System::Alloc 512
    Pop $2
    ; TOKEN_USER starts with the SID's address; 22: WinLocalSystemSid
    System::Call 'advapi32::GetTokenInformation(p r1, i 1, p r2, i 512, *i .r0) i .r0'
    ${If} $0 <> 0
      System::Call '*$2(p .r0)'
      System::Call 'advapi32::IsWellKnownSid(p r0, i 22) i .r0'
    ${EndIf}
    ${IfThen} $0 <> 0 ${|} StrCpy $0 1 ${|}
    System::Free $2
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Folder, shortcut and uninstall entry of the chosen scope, and the options
; page's start from this user's current choice when it is an update.
Function ApplyScope
  SetShellVarContext current
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${EndIf}
  ReadRegStr $0 SHCTX "${UNINST_KEY}" "InstallLocation"
  StrCpy $OldFolder $0
  ${If} $FolderGiven != 1
    ${If} $0 != ""
      StrCpy $INSTDIR $0
      Call MoveIntoProgramFiles
    ${ElseIf} $AllUsers == 1
      StrCpy $INSTDIR "${PROGRAMS}\Velmora"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Velmora"
    ${EndIf}
  ${EndIf}
  StrCpy $RunAtStartup ${BST_CHECKED}
  ${If} $0 != ""
    ReadRegStr $0 HKCU "${RUN_KEY}" "${INSTANCE}"
    ${If} $0 == ""
      StrCpy $RunAtStartup ${BST_UNCHECKED}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  ; NSIS replaces a /D= folder that cannot be one (a file on its way) with
  ; the default; a silent setup must fail instead of installing elsewhere.
  System::Call 'kernel32::GetCommandLineW() t .r0'
  ; One test only: LogicLib's ${Errors} clears the error flag, and without
  ; a /D= WordFind's result is "1", no folder.
  ClearErrors
  ${WordFind} "$0" " /D=" "E+1}" $1
  ${IfNot} ${Errors}
    ; as NSIS takes it: without final backslashes
    ${Do}
      StrCpy $2 $1 "" -1
      ${IfThen} $2 != "\" ${|} ${ExitDo} ${|}
      StrCpy $1 $1 -1
    ${Loop}
    ${If} $1 != $INSTDIR
    ${AndIf} ${Silent}
      SetErrorLevel 2
      Quit
    ${EndIf}
    StrCpy $FolderGiven 1
  ${EndIf}

  ; The scope: /ALLUSERS or /CURRENTUSER; silently as LocalSystem, every
  ; user; otherwise this user, or the scope page's choice.
  Call IsSystem
  Pop $AsSystem
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/CURRENTUSER" $1
  ${IfNot} ${Errors}
    ${If} $AllUsers == 1
      Push $(ErrBothScopes)
      Push 87
      Call Refuse
    ${EndIf}
    StrCpy $ScopeFixed 1
  ${EndIf}
  ${If} $AllUsers == 1
  ${OrIf} $ScopeFixed == 1
    StrCpy $ScopeFixed 1
  ${ElseIf} ${Silent}
  ${AndIf} $AsSystem == 1
    StrCpy $AllUsers 1
    StrCpy $ScopeFixed 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOUSER" $1
  ${IfNot} ${Errors}
    StrCpy $NoUser 1
  ${EndIf}
  ${If} $AllUsers == 1
    Call IsAdmin
    Pop $0
    ${If} $0 != 1
      Push $(ErrNotAdmin)
      Push 740
      Call Refuse
    ${EndIf}
    Call RefuseBesideMsiCopy
  ${EndIf}
  Call ApplyScope
  Call RefuseUnprotectedFolder

  ; A silent setup starts the program; otherwise the finish page's box says.
  StrCpy $StartAfter ${BST_UNCHECKED}
  ${If} ${Silent}
    StrCpy $StartAfter ${BST_CHECKED}
  ${EndIf}
FunctionEnd

Function RefuseUnprotectedFolder
  ${If} $AllUsers == 1
    Call IsProtectedFolder
    Pop $0
    ${If} $0 != 1
      Push $(ErrFolder)
      Push 267
      Call Refuse
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ScopePage
  ${IfThen} $ScopeFixed == 1 ${|} Abort ${|}
  !insertmacro MUI_HEADER_TEXT $(ScopeTitle) $(ScopeSubtitle)
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateRadioButton} 0 0 100% 12u $(ScopeMe)
  Pop $ScopeMeBox
  ${NSD_CreateRadioButton} 0 18u 100% 12u $(ScopeAll)
  Pop $1
  ${NSD_CreateLabel} 12u 34u -12u 40u $(ScopeAllNote)
  Pop $0
  ${If} $AllUsers == 1
    ${NSD_Check} $1
  ${Else}
    ${NSD_Check} $ScopeMeBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; "For everyone" chosen here: this process keeps the pages and the user's
; part; once the options are chosen, a child installs the machine's part
; silently, elevated (the UAC prompt) when this one has no rights
; (MachinePartByChild).
Function ScopeLeave
  ${NSD_GetState} $ScopeMeBox $0
  StrCpy $AllUsers 0
  StrCpy $HandOver 0
  ${If} $0 != ${BST_CHECKED}
    StrCpy $AllUsers 1
    StrCpy $HandOver 1
    Call RefuseBesideMsiCopy
  ${EndIf}
  Call ApplyScope
FunctionEnd

; The child's code: 0 or 3010 go on to the user's part and the finish page;
; a declined prompt keeps the options page (Back leads to "Only for me");
; any other code ends the setup with it.
Function MachinePartByChild
  ${IfThen} $HandOver != 1 ${|} Return ${|}
  Call ChildOfMachineSetup
  Pop $1
  Pop $0
  Call IsAdmin
  Pop $2
  ${If} $2 == 1
    ClearErrors
    ExecWait '"$0" $1' $0
    ${IfThen} ${Errors} ${|} StrCpy $0 error ${|}
  ${Else}
    Push $0
    Push $1
    Call RunElevated
    Pop $0
  ${EndIf}
  ${If} $0 == error
    MessageBox MB_OK|MB_ICONEXCLAMATION $(ErrElevation)
    Abort
  ${EndIf}
  ${If} $0 == 3010
    SetRebootFlag true
  ${ElseIf} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$(ErrMachineSetup) $0"
    SetErrorLevel $0
    Quit
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "$(OptionsTitle)" "$(OptionsSubtitle)"
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateCheckbox} 0 0 100% 12u "$(RunAtStartup)"
  Pop $RunBox
  ${NSD_SetState} $RunBox $RunAtStartup
  nsDialogs::Show
FunctionEnd

Function OptionsLeave
  ${NSD_GetState} $RunBox $RunAtStartup
  Call MachinePartByChild
FunctionEnd

; Every user's Run value, at the next logon, once: the way a per-user
; install writes it, so that the settings dialog shows it and clearing it
; there lasts. The installing user chose on the options page already.
!define STEP_RECORDS_64 "HKCU\${ACTIVE_SETUP}"
!define STEP_RECORDS_32 "HKCU\Software\Wow6432Node\Microsoft\Active Setup\Installed Components"
!macro LOGON_STEP_FOR_EVERYONE
  DeleteRegKey HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${LOGON_STEP}" "" "Velmora"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${LOGON_STEP}" "Version" "1"
  WriteRegDWORD HKLM "${ACTIVE_SETUP}\${LOGON_STEP}" "IsInstalled" 1
  WriteRegStr HKLM "${ACTIVE_SETUP}\${LOGON_STEP}" "StubPath" \
    '"$SYSDIR\cmd.exe" /d /c reg.exe delete "${STEP_RECORDS_64}\${REMOVAL_STEP}" /f >nul 2>&1 & reg.exe delete "${STEP_RECORDS_32}\${REMOVAL_STEP}" /f >nul 2>&1 \
    & reg.exe add "HKCU\${RUN_KEY}" /v ${INSTANCE} /t REG_SZ /d "\"$INSTDIR\Velmora.exe\" /background" /f >nul'
  ${If} $AsSystem != 1
  ${AndIf} $NoUser != 1
    WriteRegStr HKCU "${ACTIVE_SETUP}\${LOGON_STEP}" "Version" "1"
    WriteRegStr HKCU "Software\Wow6432Node\Microsoft\Active Setup\Installed Components\${LOGON_STEP}" "Version" "1"
  ${EndIf}
!macroend
; On removal: each user's Run value at the next logon, if it still starts
; this copy; the logon step's record goes, so that a reinstall runs it again.
; "& if errorlevel", not "&&", which Wine's cmd runs regardless. Each step's
; exit code is that of its last command, its real work: 0 when done.
!macro REMOVAL_STEP_FOR_EVERYONE
  DeleteRegKey HKLM "${ACTIVE_SETUP}\${LOGON_STEP}"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "" "Velmora"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "Version" "1"
  WriteRegDWORD HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "IsInstalled" 1
  WriteRegStr HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "StubPath" \
    '"$SYSDIR\cmd.exe" /d /c reg.exe delete "${STEP_RECORDS_64}\${LOGON_STEP}" /f >nul 2>&1 & reg.exe delete "${STEP_RECORDS_32}\${LOGON_STEP}" /f >nul 2>&1 \
    & (reg.exe query "HKCU\${RUN_KEY}" /v ${INSTANCE} 2>nul | find.exe "$INSTDIR\Velmora.exe" >nul) & if errorlevel 1 (exit /b 0) else reg.exe delete "HKCU\${RUN_KEY}" /v ${INSTANCE} /f >nul'
  DeleteRegKey HKLM "${ACTIVE_SETUP}\${MOVE_STEP}"
!macroend
; Moved: each user's Run value that names the old copy names the new one at
; that user's next logon; a value turned off, or another copy's, stays.
!macro MOVE_STEP_FOR_EVERYONE
  WriteRegStr HKLM "${ACTIVE_SETUP}\${MOVE_STEP}" "" "Velmora"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${MOVE_STEP}" "Version" "1"
  WriteRegDWORD HKLM "${ACTIVE_SETUP}\${MOVE_STEP}" "IsInstalled" 1
  WriteRegStr HKLM "${ACTIVE_SETUP}\${MOVE_STEP}" "StubPath" \
    '"$SYSDIR\cmd.exe" /d /c (reg.exe query "HKCU\${RUN_KEY}" /v ${INSTANCE} 2>nul | find.exe "$OldFolder\Velmora.exe" >nul) & if errorlevel 1 (exit /b 0) else reg.exe add "HKCU\${RUN_KEY}" /v ${INSTANCE} /t REG_SZ /d "\"$INSTDIR\Velmora.exe\" /background" /f >nul'
!macroend

; Other users' sessions may hold a machine copy's files: a file in use is
; renamed aside, the new one goes in under its real name, and only the
; renamed one is deleted at the next restart (exit code 3010), so that a
; reinstall before then keeps its files.
!macro SET_ASIDE PATH
  Delete "${PATH}"
  ${If} ${FileExists} "${PATH}"
    System::Call 'kernel32::GetTickCount() i .r9'
    Rename "${PATH}" "${PATH}.$9.old"
    Delete /REBOOTOK "${PATH}.$9.old"
  ${EndIf}
!macroend
!macro INSTALL_BINARY NAME
  !insertmacro SET_ASIDE "$INSTDIR\${NAME}"
  File "${BINDIR}/${NAME}"
!macroend

; The files, the folder once empty and, for a machine copy, the logon
; start of the copy that this update replaced in another folder. A file in
; use goes at the next restart (3010). The entry and the shortcut are this
; update's own already.
Function RemoveOldCopy
  ${If} $OldFolder == ""
  ${OrIf} $OldFolder == $INSTDIR
    Return
  ${EndIf}
  !insertmacro SET_ASIDE "$OldFolder\Velmora.exe"
  !insertmacro SET_ASIDE "$OldFolder\kestro.dll"
  !insertmacro SET_ASIDE "$OldFolder\uninstall.exe"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$OldFolder"
  ${Else}
    RMDir "$OldFolder"
  ${EndIf}
  ${If} $AllUsers == 1
    !insertmacro MOVE_STEP_FOR_EVERYONE
  ${EndIf}
FunctionEnd


Function StartAfterFinish
  StrCpy $StartAfter ${BST_CHECKED}
FunctionEnd

Section
  ; The child installed the machine's part (MachinePartByChild).
  ${If} $HandOver == 1
    Call UserPartOfMachineInstall
    ${IfThen} ${RebootFlag} ${|} SetErrorLevel 3010 ${|}
    Return
  ${EndIf}
  ; The running copies, from this folder or another (whose mutex would keep
  ; the new one from starting), are ended by this version's own program: an
  ; older one may not know "/Stop".
  InitPluginsDir
  SetOutPath "$PLUGINSDIR\stop"
  File "${BINDIR}/Velmora.exe"
  File "${BINDIR}/kestro.dll"
  Push "$PLUGINSDIR\stop\Velmora.exe"
  Call StopVelmora
  SetOutPath "$INSTDIR"
  !insertmacro INSTALL_BINARY Velmora.exe
  !insertmacro INSTALL_BINARY kestro.dll
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\Velmora.exe" "" "$INSTDIR\Velmora.exe" 0

  ; SHCTX: HKLM for every user, HKCU for this one (ApplyScope).
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "Velmora"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "Quor"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Velmora.exe,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  ; In place (_?=, last and unquoted): the uninstaller then waits for its
  ; removal and ends with its exit code (un.onInit).
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1

  ${If} $AllUsers == 1
    !insertmacro LOGON_STEP_FOR_EVERYONE
  ${EndIf}
  Call RemoveOldCopy
  ; The very value the program's settings dialog writes and reads back;
  ; SYSTEM never logs on, so its own would serve nobody.
  ${If} $AsSystem == 1
  ${OrIf} $NoUser == 1
  ${ElseIf} $RunAtStartup == ${BST_CHECKED}
    WriteRegStr HKCU "${RUN_KEY}" "${INSTANCE}" '"$INSTDIR\Velmora.exe" /background'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${INSTANCE}"
  ${EndIf}
  ${If} ${RebootFlag}
    SetErrorLevel 3010
  ${EndIf}
SectionEnd

; Started once the setup program closes, not behind its finish page.
Function .onInstSuccess
  ; Never in session 0.
  ${If} $StartAfter == ${BST_CHECKED}
  ${AndIf} $AsSystem != 1
  ${AndIf} $NoUser != 1
    ${If} ${Silent}
      Exec '"$INSTDIR\Velmora.exe" /background'
    ${Else}
      Exec '"$INSTDIR\Velmora.exe"'
    ${EndIf}
  ${EndIf}
FunctionEnd

; The removing user's part, done by the process that user started (un.onInit)
; once the removal is done: this copy's Run values (without the program they
; are left to us, where they are ours), the logon step's records and, when
; asked for, the settings.
Function un.UserPart
  Push $0
  ReadRegStr $0 HKCU "${RUN_KEY}" "${INSTANCE}"
  ${If} $0 == '"$INSTDIR\Velmora.exe" /background'
    DeleteRegValue HKCU "${RUN_KEY}" "${INSTANCE}"
  ${EndIf}
  ReadRegStr $0 HKCU "${RUN_KEY}" "${POLICY_RUN}"
  ${If} $0 == '"$INSTDIR\Velmora.exe" /background /policy'
    DeleteRegValue HKCU "${RUN_KEY}" "${POLICY_RUN}"
  ${EndIf}
  ${If} $AllUsers == 1
    DeleteRegKey HKCU "${ACTIVE_SETUP}\${LOGON_STEP}"
    DeleteRegKey HKCU "Software\Wow6432Node\Microsoft\Active Setup\Installed Components\${LOGON_STEP}"
  ${EndIf}
  ${If} $Settings == delete
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Quor"
  ${EndIf}
  Pop $0
FunctionEnd

; The machine's part, or the copy's own: elevated, HKCU is another account's.
Section "Uninstall"
  ${If} ${FileExists} "$INSTDIR\Velmora.exe"
    Push "$INSTDIR\Velmora.exe"
    Call un.StopVelmora
  ${EndIf}

  ${If} $AllUsers == 1
    !insertmacro REMOVAL_STEP_FOR_EVERYONE
  ${EndIf}
  ; Other users' running copies hold their files until the next restart.
  !insertmacro SET_ASIDE "$INSTDIR\Velmora.exe"
  !insertmacro SET_ASIDE "$INSTDIR\kestro.dll"
  ; The in-place uninstaller that waits for us holds its file open: a copy
  ; of ours deletes it, and the folder, once that process has ended.
  Delete "$INSTDIR\uninstall.exe"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/OUTER=" $0
  ${IfNot} ${Errors}
  ${AndIf} ${FileExists} "$INSTDIR\uninstall.exe"
    IntOp $0 $0 + 0
    Exec '"$EXEPATH" /CLEANUP=$0 _?=$INSTDIR'
  ${EndIf}
  Delete "$SMPROGRAMS\Velmora.lnk"
  DeleteRegKey SHCTX "${UNINST_KEY}"
  ${IfThen} $NoUser != 1 ${|} Call un.UserPart ${|}
  ; Only when empty: the user may keep own files there.
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
    SetErrorLevel 3010
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd

; The machine copy is the one that HKLM's entry names. Started by the user,
; in place (the entry's _?=) or as the copy in %TEMP% that a double click
; makes, the uninstaller asks about the settings, runs the removal from a
; copy of its own with /NOUSER, elevated for the machine copy when it has no
; rights (the UAC prompt), waits for it, then does this user's part as this
; user (un.UserPart) and ends with the copy's exit code, 3010 included: a
; deployment tool that waits for this process finds the removal done.
Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CLEANUP=" $0
  ${IfNot} ${Errors}
    IntOp $0 $0 + 0
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r0) p .r0'
    ${If} $0 <> 0
      System::Call 'kernel32::WaitForSingleObject(p r0, i 30000)'
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Quit
  ${EndIf}
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $AllUsers 1
  ${EndIf}
  Call un.IsAdmin
  Pop $2
  ${GetParameters} $3
  ClearErrors
  ${GetOptions} $3 "/NOUSER" $0
  ${IfNot} ${Errors}
    StrCpy $NoUser 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $3 "/OUTER=" $0
  ${If} ${Errors}
    ; Silently the settings stay, for a later install; /NOUSER: not ours.
    StrCpy $Settings keep
    ${If} $NoUser != 1
    ${AndIf} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(DeleteSettings)" /SD IDNO IDYES`
      StrCpy $Settings delete
    ${EndIf}
    InitPluginsDir
    CopyFiles /SILENT "$EXEPATH" "$PLUGINSDIR\uninstall.exe"
    System::Call 'kernel32::GetCurrentProcessId() i .r1'
    StrCpy $1 "/NOUSER /OUTER=$1 _?=$INSTDIR"
    ${IfThen} ${Silent} ${|} StrCpy $1 "/S $1" ${|}
    ${If} $AllUsers == 1
    ${AndIf} $2 != 1
      Push "$PLUGINSDIR\uninstall.exe"
      Push $1
      Call un.RunElevated
      Pop $0
      ${If} $0 == error
        Push $(ErrUnNotAdmin)
        Push 740
        Call un.Refuse
      ${EndIf}
    ${Else}
      ClearErrors
      ExecWait '"$PLUGINSDIR\uninstall.exe" $1' $0
      ${IfThen} ${Errors} ${|} StrCpy $0 2 ${|}
    ${EndIf}
    ${If} $0 == 0
    ${OrIf} $0 == 3010
      ${IfThen} $NoUser != 1 ${|} Call un.UserPart ${|}
    ${EndIf}
    SetErrorLevel $0
    Quit
  ${EndIf}
  ${If} $AllUsers == 1
    ${If} $2 != 1
      Push $(ErrUnNotAdmin)
      Push 740
      Call un.Refuse
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd
