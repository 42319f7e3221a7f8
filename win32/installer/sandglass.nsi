; The sandglass installer: puts sandglass.scr where Windows lists screen savers, makes it the
; current saver on request, and registers an uninstaller in Add/Remove Programs.
;
; Built by the Windows flavour's `dist` target, which passes (all required):
;   VERSION   the project's version (1.1)      VERSION4  the same with four parts (1.1.0.0)
;   SCR       the built sandglass.scr          ICON      the program's icon
;   OUTFILE   the installer to write
; The script is UTF-8: makensis runs with -INPUTCHARSET UTF8.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh

; PRODUCT names the files, the folder and the uninstall key; the product's name and maker as
; people see them are the ones the program's version resource and configure dialog show.
!define PRODUCT   "sandglass"
!define PRODUCT_NAME "Tessaly"
!define PUBLISHER "Mirabel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3   ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE

Name "${PRODUCT_NAME} ${VERSION}"
OutFile "${OUTFILE}"
; The .scr goes to a system folder; this folder holds only the uninstaller.
InstallDir "$PROGRAMFILES\${PRODUCT}"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT_NAME} ${VERSION}"

VIProductVersion ${VERSION4}
VIFileVersion ${VERSION4}
VIAddVersionKey /LANG=0 ProductName "${PRODUCT_NAME}"
VIAddVersionKey /LANG=0 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 FileVersion "${VERSION}"
VIAddVersionKey /LANG=0 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=0 FileDescription "${PRODUCT_NAME} ${VERSION} Setup"
VIAddVersionKey /LANG=0 LegalCopyright "${PUBLISHER}"

; --- pages ------------------------------------------------------------------------------------
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(OpenSettings)"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSaverSettings

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for systems that are neither English nor Japanese; NSIS picks
; the other from the user's interface language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString SaverSection ${LANG_ENGLISH} "Screen saver"
LangString SaverSection ${LANG_JAPANESE} "スクリーンセーバー"
LangString SaverText ${LANG_ENGLISH} "Puts sandglass.scr where Windows lists screen savers."
LangString SaverText ${LANG_JAPANESE} "sandglass.scr をスクリーンセーバーの一覧に加えます。"
LangString CurrentSection ${LANG_ENGLISH} "Use as the current screen saver"
LangString CurrentSection ${LANG_JAPANESE} "現在のスクリーンセーバーにする"
LangString CurrentText ${LANG_ENGLISH} "Chooses this saver and switches screen saving on."
LangString CurrentText ${LANG_JAPANESE} "このスクリーンセーバーを選び、スクリーンセーバーを有効にします。"
LangString OpenSettings ${LANG_ENGLISH} "Open the screen saver settings"
LangString OpenSettings ${LANG_JAPANESE} "スクリーンセーバーの設定を開く"
LangString NeedAdmin ${LANG_ENGLISH} "Administrator rights are needed to change the system folder."
LangString NeedAdmin ${LANG_JAPANESE} "システムフォルダーを変更するには管理者の権限が必要です。"
LangString CannotWrite ${LANG_ENGLISH} "Cannot write"
LangString CannotWrite ${LANG_JAPANESE} "書き込めません:"

; --- where the saver lives ----------------------------------------------------------------------
Var SaverDir

; Windows lists screen savers from its system folder. A 32-bit saver on 64-bit Windows belongs in
; SysWOW64, and the path written for Windows must name it there: $SYSDIR reads System32 in this
; 32-bit process too, a name that only the file-system redirection of 32-bit programs maps to
; SysWOW64 (64-bit programs would find no file). The SysWOW64 path is not redirected, so the
; redirection is left on and the real folder is named.
!macro FIND_SAVER_DIR
  ${If} ${IsWow64}
    StrCpy $SaverDir "$WINDIR\SysWOW64"
  ${Else}
    StrCpy $SaverDir "$SYSDIR"
  ${EndIf}
!macroend

; Switches screen saving on or off, writes the value and tells running programs.
!macro SET_SAVER_ACTIVE on
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "${on}"
  System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i ${on}, p 0, i ${SPIF_UPDATE_AND_SEND})'
!macroend

; Size of a file in bytes, 0 when it cannot be opened.
!macro FILE_SIZE path out
  ClearErrors
  FileOpen $R9 "${path}" r
  ${If} ${Errors}
    StrCpy ${out} 0
  ${Else}
    FileSeek $R9 0 END ${out}
    FileClose $R9
  ${EndIf}
!macroend

; Without administrator rights nothing can go into the system folder: say so and end with
; ERROR_ELEVATION_REQUIRED rather than report a success.
!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "$(NeedAdmin)" /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REQUIRE_ADMIN
  SetRegView 32
  !insertmacro FIND_SAVER_DIR
FunctionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
  SetRegView 32
  !insertmacro FIND_SAVER_DIR
FunctionEnd

; --- install -------------------------------------------------------------------------------------
Section "$(SaverSection)" SecSaver
  SectionIn RO
  SetOutPath "$SaverDir"
  SetOverwrite try
  ClearErrors
  File "/oname=${PRODUCT}.scr" "${SCR}"
  ${If} ${Errors}
    ; A running saver cannot be overwritten, but it can be renamed: the new file takes its
    ; place now, the old one goes at the next start of Windows (or with the next reinstall).
    ; That start may come whenever it comes: the finish page is not to offer a restart now
    ; (its default) in place of opening the settings.
    Delete "$SaverDir\${PRODUCT}.scr.old"
    Rename "$SaverDir\${PRODUCT}.scr" "$SaverDir\${PRODUCT}.scr.old"
    Delete /REBOOTOK "$SaverDir\${PRODUCT}.scr.old"
    SetRebootFlag false
    ClearErrors
    File "/oname=${PRODUCT}.scr" "${SCR}"
    ${If} ${Errors}
      MessageBox MB_ICONSTOP "$(CannotWrite) $SaverDir\${PRODUCT}.scr" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; One entry however often it is installed: the key has a fixed name and is rewritten whole.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SaverDir\${PRODUCT}.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Kilobytes on disk: the saver and the uninstaller, rounded up.
  !insertmacro FILE_SIZE "$SaverDir\${PRODUCT}.scr" $0
  !insertmacro FILE_SIZE "$INSTDIR\uninstall.exe" $1
  IntOp $0 $0 + $1
  IntOp $0 $0 + 1023
  IntOp $0 $0 / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The long path rather than the 8.3 one of old: it is the name Explorer shows, it holds no space
; (so the old reason for short names, a command line without quotes, does not apply), and it
; stays right on volumes where short names are not made.
Section "$(CurrentSection)" SecCurrent
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SaverDir\${PRODUCT}.scr"
  !insertmacro SET_SAVER_ACTIVE 1
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSaver} "$(SaverText)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecCurrent} "$(CurrentText)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function OpenSaverSettings
  Exec '"$SYSDIR\control.exe" desk.cpl,,@screensaver'
FunctionEnd

; --- uninstall -----------------------------------------------------------------------------------
Section "Uninstall"
  ; The current-saver setting is cleared only where it names this saver, by its long or its short
  ; path (the display settings may write either); another saver chosen since stays.
  StrCpy $1 "$SaverDir\${PRODUCT}.scr"
  GetFullPathName /SHORT $2 "$1"
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 != ""
    ${If} $0 == $1
    ${OrIf} $0 == $2
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      !insertmacro SET_SAVER_ACTIVE 0
    ${EndIf}
  ${EndIf}

  Delete /REBOOTOK "$SaverDir\${PRODUCT}.scr"
  Delete /REBOOTOK "$SaverDir\${PRODUCT}.scr.old"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
