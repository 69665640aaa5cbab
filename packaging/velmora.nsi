; Velmora's setup program and uninstaller: per user, in English and Korean, NT line only
; (a Unicode NSIS program does not start on Windows 9x; the portable zip is
; for those). Built by packaging/pack.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=a.b.c.d -DBINDIR=<bin> -DICON=<ico> -DOUTFILE=<exe> [-DSIGNSCRIPT=<sign.sh>] velmora.nsi
; The installed files keep the times of those in BINDIR (pack.sh: the commit's).
Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written stops the setup instead of being skipped.
AllowSkipFiles off
; sign.sh readies the uninstaller for Authenticode, and signs it in a signed
; build, before it goes in.
!ifdef SIGNSCRIPT
  !uninstfinalize 'bash "${SIGNSCRIPT}" "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include WordFunc.nsh

; The program's own names: window class, mutex and Run value share "Velmora5".
!define INSTANCE "Velmora5"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora5"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "SOFTWARE\Quor\Velmora5"

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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The finished progress page stays, so that its log can be read.
!define MUI_FINISHPAGE_NOAUTOCLOSE
; NSIS's own welcome text speaks of system files and restarting.
!define MUI_WELCOMEPAGE_TITLE "$(WelcomeTitle)"
!define MUI_WELCOMEPAGE_TEXT "$(WelcomeText)"
!insertmacro MUI_PAGE_WELCOME
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
  ${EndIf}

  StrCpy $RunAtStartup ${BST_CHECKED}
  ; A silent setup starts the program; otherwise the finish page's box says.
  StrCpy $StartAfter ${BST_UNCHECKED}
  ${If} ${Silent}
    StrCpy $StartAfter ${BST_CHECKED}
  ${EndIf}
  ; An update starts from the user's current start-with-Windows choice.
  ReadRegStr $0 HKCU "${UNINST_KEY}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $0 HKCU "${RUN_KEY}" "${INSTANCE}"
    ${If} $0 == ""
      StrCpy $RunAtStartup ${BST_UNCHECKED}
    ${EndIf}
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
FunctionEnd

Function StartAfterFinish
  StrCpy $StartAfter ${BST_CHECKED}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\Velmora.exe"
    Push "$INSTDIR\Velmora.exe"
    Call StopVelmora
  ${EndIf}
  File "${BINDIR}/Velmora.exe"
  File "${BINDIR}/kestro.dll"
  ; A copy still running from another folder is ended by the new one, or
  ; the new one would find the mutex taken and not start.
  FindWindow $0 "${INSTANCE}"
  ${If} $0 <> 0
    Push "$INSTDIR\Velmora.exe"
    Call StopVelmora
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Velmora.lnk" "$INSTDIR\Velmora.exe" "" "$INSTDIR\Velmora.exe" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Velmora"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Quor"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Velmora.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  SectionGetSize 0 $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1

  ; The very value the program's settings dialog writes and reads back.
  ${If} $RunAtStartup == ${BST_CHECKED}
    WriteRegStr HKCU "${RUN_KEY}" "${INSTANCE}" '"$INSTDIR\Velmora.exe" /background'
  ${Else}
    DeleteRegValue HKCU "${RUN_KEY}" "${INSTANCE}"
  ${EndIf}
SectionEnd

; Started once the setup program closes, not behind its finish page.
Function .onInstSuccess
  ${If} $StartAfter == ${BST_CHECKED}
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

  Delete "$INSTDIR\Velmora.exe"
  Delete "$INSTDIR\kestro.dll"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Velmora.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"
  ${If} $1 == delete
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Quor"
  ${EndIf}
  ; Only when empty: the user may keep own files there.
  RMDir "$INSTDIR"
SectionEnd
