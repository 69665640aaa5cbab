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
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsLeave
!insertmacro MUI_PAGE_INSTFILES
; The box only marks the choice; the program starts once the setup closes
; (.onInstSuccess), not behind the finish page.
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

; StopVelmora EXE: ends the running instance with "EXE /Uninstall", which
; also removes the Run value. That program only broadcasts the quit message
; and returns, so wait (bounded) for the instance's process itself: its files
; are free only once the process is gone, a moment after its window.
!macro DEFINE_STOP_VELMORA UN
Function ${UN}StopVelmora
  Exch $R0
  Push $R1
  Push $R2
  Push $R3
  StrCpy $R3 0
  FindWindow $R1 "${INSTANCE}"
  ${If} $R1 <> 0
    System::Call 'user32::GetWindowThreadProcessId(p R1, *i .R2)'
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .R3'
  ${EndIf}
  ExecWait '"$R0" /Uninstall'
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
!insertmacro DEFINE_STOP_VELMORA ""
!insertmacro DEFINE_STOP_VELMORA "un."

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
  ${If} $FolderGiven != 1
    ${If} $0 != ""
      StrCpy $INSTDIR $0
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
  ${If} $AllUsers == 1
    Call IsAdmin
    Pop $0
    ${If} $0 != 1
      Push $(ErrNotAdmin)
      Push 740
      Call Refuse
    ${EndIf}
  ${EndIf}
  Call ApplyScope

  ; A silent setup starts the program; otherwise the finish page's box says.
  StrCpy $StartAfter ${BST_UNCHECKED}
  ${If} ${Silent}
    StrCpy $StartAfter ${BST_CHECKED}
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

; "For everyone" without an elevated token: an elevated copy takes over,
; starting at this choice, and this one ends.
Function ScopeLeave
  ${NSD_GetState} $ScopeMeBox $0
  StrCpy $AllUsers 0
  ${If} $0 != ${BST_CHECKED}
    Call IsAdmin
    Pop $0
    ${If} $0 != 1
      System::Call 'shell32::ShellExecuteW(p $HWNDPARENT, w "runas", w "$EXEPATH", w "/ALLUSERS", p 0, i 1) p .r0'
      ${If} $0 U> 32
        Quit
      ${EndIf}
      MessageBox MB_OK|MB_ICONEXCLAMATION $(ErrElevation)
      Abort
    ${EndIf}
    StrCpy $AllUsers 1
  ${EndIf}
  Call ApplyScope
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
    '"$SYSDIR\cmd.exe" /d /c reg.exe add "HKCU\${RUN_KEY}" /v ${INSTANCE} /t REG_SZ /d "\"$INSTDIR\Velmora.exe\" /background" /f >nul \
    & reg.exe delete "${STEP_RECORDS_64}\${REMOVAL_STEP}" /f >nul 2>&1 & reg.exe delete "${STEP_RECORDS_32}\${REMOVAL_STEP}" /f >nul 2>&1'
  ${If} $AsSystem != 1
    WriteRegStr HKCU "${ACTIVE_SETUP}\${LOGON_STEP}" "Version" "1"
    WriteRegStr HKCU "Software\Wow6432Node\Microsoft\Active Setup\Installed Components\${LOGON_STEP}" "Version" "1"
  ${EndIf}
!macroend
; On removal: each user's Run value at the next logon, if it still starts
; this copy; the logon step's record goes, so that a reinstall runs it again.
; "& if not errorlevel 1", not "&&", which Wine's cmd runs regardless.
!macro REMOVAL_STEP_FOR_EVERYONE
  DeleteRegKey HKLM "${ACTIVE_SETUP}\${LOGON_STEP}"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "" "Velmora"
  WriteRegStr HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "Version" "1"
  WriteRegDWORD HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "IsInstalled" 1
  WriteRegStr HKLM "${ACTIVE_SETUP}\${REMOVAL_STEP}" "StubPath" \
    '"$SYSDIR\cmd.exe" /d /c (reg.exe query "HKCU\${RUN_KEY}" /v ${INSTANCE} 2>nul | find.exe "$INSTDIR\Velmora.exe" >nul & if not errorlevel 1 reg.exe delete "HKCU\${RUN_KEY}" /v ${INSTANCE} /f >nul) \
    & reg.exe delete "${STEP_RECORDS_64}\${LOGON_STEP}" /f >nul 2>&1 & reg.exe delete "${STEP_RECORDS_32}\${LOGON_STEP}" /f >nul 2>&1'
  DeleteRegKey HKCU "${ACTIVE_SETUP}\${LOGON_STEP}"
  DeleteRegKey HKCU "Software\Wow6432Node\Microsoft\Active Setup\Installed Components\${LOGON_STEP}"
!macroend

; Other users' sessions may hold a machine copy's files: the new one then
; takes its place at the next restart (exit code 3010).
!macro INSTALL_BINARY NAME
  ${If} $AllUsers == 1
    File "/oname=${NAME}.new" "${BINDIR}/${NAME}"
    Delete "$INSTDIR\${NAME}"
    Rename /REBOOTOK "$INSTDIR\${NAME}.new" "$INSTDIR\${NAME}"
  ${Else}
    File "${BINDIR}/${NAME}"
  ${EndIf}
!macroend

Function StartAfterFinish
  StrCpy $StartAfter ${BST_CHECKED}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\Velmora.exe"
    Push "$INSTDIR\Velmora.exe"
    Call StopVelmora
  ${EndIf}
  !insertmacro INSTALL_BINARY Velmora.exe
  !insertmacro INSTALL_BINARY kestro.dll
  ; A copy still running from another folder is ended by the new one, or
  ; the new one would find the mutex taken and not start.
  FindWindow $0 "${INSTANCE}"
  ${If} $0 <> 0
    Push "$INSTDIR\Velmora.exe"
    Call StopVelmora
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\Velmora.exe" "" "$INSTDIR\Velmora.exe" 0

  ; SHCTX: HKLM for every user, HKCU for this one (ApplyScope).
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayName" "Velmora"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINST_KEY}" "Publisher" "Quor"
  WriteRegStr SHCTX "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Velmora.exe,0"
  WriteRegStr SHCTX "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  SectionGetSize 0 $0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINST_KEY}" "NoRepair" 1

  ${If} $AllUsers == 1
    !insertmacro LOGON_STEP_FOR_EVERYONE
  ${EndIf}
  ; The very value the program's settings dialog writes and reads back;
  ; SYSTEM never logs on, so its own would serve nobody.
  ${If} $AsSystem == 1
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
    ${If} ${Silent}
      Exec '"$INSTDIR\Velmora.exe" /background'
    ${Else}
      Exec '"$INSTDIR\Velmora.exe"'
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ; Silently the settings stay, for a later install.
  StrCpy $1 keep
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(DeleteSettings)" /SD IDNO IDNO +2
    StrCpy $1 delete

  ${If} ${FileExists} "$INSTDIR\Velmora.exe"
    Push "$INSTDIR\Velmora.exe"
    Call un.StopVelmora
  ${EndIf}
  ; Without the program its Run value is left to us, if it is ours.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${INSTANCE}"
  ${If} $0 == '"$INSTDIR\Velmora.exe" /background'
    DeleteRegValue HKCU "${RUN_KEY}" "${INSTANCE}"
  ${EndIf}

  ${If} $AllUsers == 1
    !insertmacro REMOVAL_STEP_FOR_EVERYONE
    ; Other users' running copies hold their files until the next restart.
    Delete /REBOOTOK "$INSTDIR\Velmora.exe"
    Delete /REBOOTOK "$INSTDIR\kestro.dll"
  ${Else}
    Delete "$INSTDIR\Velmora.exe"
    Delete "$INSTDIR\kestro.dll"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Velmora.lnk"
  DeleteRegKey SHCTX "${UNINST_KEY}"
  ${If} $1 == delete
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Quor"
  ${EndIf}
  ; Only when empty: the user may keep own files there.
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
    SetErrorLevel 3010
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd

; The machine copy is the one that HKLM's entry names.
Function un.onInit
  StrCpy $AllUsers 0
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 == $INSTDIR
    StrCpy $AllUsers 1
    Call un.IsAdmin
    Pop $0
    ${If} $0 != 1
      Push $(ErrUnNotAdmin)
      Push 740
      Call un.Refuse
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd
