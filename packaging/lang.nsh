; The setup program's and the uninstaller's own texts, in the languages that
; velmora.nsi inserts. NSIS picks the Windows interface language, or else the
; first language inserted (English). Included after the languages are
; inserted; the pages name the texts as $(NAME).

LangString WelcomeTitle ${LANG_ENGLISH} "Velmora ${VERSION} Setup"
LangString WelcomeTitle ${LANG_KOREAN} "Velmora ${VERSION} 설치"
LangString WelcomeText ${LANG_ENGLISH} "Velmora adds mouse-wheel scrolling to windows that do not scroll on the wheel, such as the code windows of the VBA editor.$\r$\n$\r$\nIt is installed for the user now logged on only, so it needs no administrator rights and no restart of the computer.$\r$\n$\r$\nClick Next to continue."
LangString WelcomeText ${LANG_KOREAN} "Velmora는 VBA 편집기의 코드 창처럼 휠로 스크롤되지 않는 창에 마우스 휠 스크롤을 붙여 줍니다.$\r$\n$\r$\n지금 로그온한 사용자에게만 설치하므로 관리자 권한이 필요 없고, 컴퓨터를 다시 시작하지 않아도 됩니다.$\r$\n$\r$\n계속하려면 '다음'을 누르십시오."
LangString FinishTitle ${LANG_ENGLISH} "Velmora is installed"
LangString FinishTitle ${LANG_KOREAN} "Velmora 설치를 마쳤습니다"
LangString FinishText ${LANG_ENGLISH} "Velmora shows as an icon in the notification area at the right end of the taskbar (on Windows 11, click the ^ button on the taskbar to see it).$\r$\n$\r$\nClick Finish to close Setup."
LangString FinishText ${LANG_KOREAN} "Velmora는 작업 표시줄 오른쪽 알림 영역에 아이콘으로 나타납니다(Windows 11에서는 작업 표시줄의 ^ 단추를 누르면 보입니다).$\r$\n$\r$\n설치 프로그램을 닫으려면 '마침'을 누르십시오."
LangString RunVelmora ${LANG_ENGLISH} "Run Velmora"
LangString RunVelmora ${LANG_KOREAN} "Velmora 실행"
LangString OptionsTitle ${LANG_ENGLISH} "Setup options"
LangString OptionsTitle ${LANG_KOREAN} "설치 옵션"
LangString OptionsSubtitle ${LANG_ENGLISH} "Choose whether Velmora starts when you log on."
LangString OptionsSubtitle ${LANG_KOREAN} "로그온할 때 Velmora를 시작할지 고르십시오."
; The words of the program's settings dialog.
LangString RunAtStartup ${LANG_ENGLISH} "Start with Windows"
LangString RunAtStartup ${LANG_KOREAN} "윈도우 시작시 실행"
LangString DeleteSettings ${LANG_ENGLISH} "Delete Velmora's settings (window list, scroll lines) as well?"
LangString DeleteSettings ${LANG_KOREAN} "Velmora 설정(창 목록, 스크롤 개수)도 함께 삭제할까요?"

VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Velmora"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Quor"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Velmora Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 Quor"
