; Installer of 琴坊 (QF), built on Linux with makensis:
;   makensis -INPUTCHARSET UTF8 -DQF_EXE=... -DQF_TOOL=... -DQF_CHM=... -DQF_OUTFILE=... qf.nsi
; It installs qf.exe, qftool.exe, qf.chm and the built-in synthesizer's
; SoundFont qf.sf2 with its licence, a Start-menu folder, the .qfi file type and
; an uninstaller that takes all of it away again, with the device the program
; remembered.

!define QF_NAME       "琴坊"
!define QF_NAME_EN    "QF"
!define QF_PUBLISHER  "QF"
!define QF_PROGID     "QF.Recording"
!define QF_TYPE_NAME  "琴坊录音文件"
!define QF_REGKEY     "Software\QF"
!define QF_UNINSTKEY  "Software\Microsoft\Windows\CurrentVersion\Uninstall\QF"
!ifndef QF_VERSION
  !define QF_VERSION  "1.0.0"
!endif
!ifndef QF_EXE
  !define QF_EXE      "qf.exe"
!endif
!ifndef QF_TOOL
  !define QF_TOOL     "qftool.exe"
!endif
!ifndef QF_CHM
  !define QF_CHM      "qf.chm"
!endif
!ifndef QF_SF2
  !define QF_SF2      "qf.sf2"
!endif
!ifndef QF_SF2_LICENSE
  !define QF_SF2_LICENSE "qf.sf2-license.txt"
!endif
!ifndef QF_OUTFILE
  !define QF_OUTFILE  "qf-setup.exe"
!endif

Unicode true
; The product is 32-bit; a 64-bit target is only for trying the script out.
!ifdef QF_TARGET
  Target ${QF_TARGET}
!endif
SetCompressor /SOLID lzma

Name "${QF_NAME}"
OutFile "${QF_OUTFILE}"
InstallDir "$PROGRAMFILES\QF"
InstallDirRegKey HKLM "${QF_REGKEY}" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${QF_NAME} ${QF_VERSION}"

VIProductVersion "${QF_VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${QF_NAME}"
VIAddVersionKey /LANG=2052 "FileDescription" "${QF_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${QF_VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${QF_VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "${QF_PUBLISHER}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${QF_PUBLISHER}"

!include "MUI2.nsh"

!ifdef QF_ICON
  !define MUI_ICON "${QF_ICON}"
  !define MUI_UNICON "${QF_ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\qf.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\qf.chm"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "阅读帮助"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; SHChangeNotify(SHCNE_ASSOCCHANGED): Explorer picks up the new file type at once.
!macro NotifyAssociationChanged
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Section "琴坊" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=qf.exe" "${QF_EXE}"
  File "/oname=qftool.exe" "${QF_TOOL}"
  File "/oname=qf.chm" "${QF_CHM}"
  File "/oname=qf.sf2" "${QF_SF2}"
  File "/oname=qf.sf2-license.txt" "${QF_SF2_LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Shortcuts start in $INSTDIR (the current $OUTDIR), where the help file is.
  CreateDirectory "$SMPROGRAMS\${QF_NAME}"
  CreateShortcut "$SMPROGRAMS\${QF_NAME}\${QF_NAME}.lnk" "$INSTDIR\qf.exe" "" "$INSTDIR\qf.exe" 0
  CreateShortcut "$SMPROGRAMS\${QF_NAME}\${QF_NAME}帮助.lnk" "$INSTDIR\qf.chm"
  CreateShortcut "$SMPROGRAMS\${QF_NAME}\卸载${QF_NAME}.lnk" "$INSTDIR\uninstall.exe"

  ; The .qfi file type. The program takes its whole command line as the path
  ; of one recording and drops the quotes around it.
  WriteRegStr HKLM "Software\Classes\.qfi" "" "${QF_PROGID}"
  WriteRegStr HKLM "Software\Classes\.qfi" "Content Type" "application/x-qf-recording"
  WriteRegStr HKLM "Software\Classes\${QF_PROGID}" "" "${QF_TYPE_NAME}"
  WriteRegStr HKLM "Software\Classes\${QF_PROGID}\DefaultIcon" "" "$INSTDIR\qf.exe,0"
  WriteRegStr HKLM "Software\Classes\${QF_PROGID}\shell" "" "open"
  WriteRegStr HKLM "Software\Classes\${QF_PROGID}\shell\open" "" "播放(&P)"
  WriteRegStr HKLM "Software\Classes\${QF_PROGID}\shell\open\command" "" '"$INSTDIR\qf.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\Applications\qf.exe\SupportedTypes" ".qfi" ""

  ; The program asks HTML Help for "qf.chm" without a folder; this entry lets
  ; HTML Help find it whatever the current directory is (a double-clicked
  ; recording starts the program in the recording's folder).
  WriteRegStr HKLM "Software\Microsoft\Windows\HTML Help" "qf.chm" "$INSTDIR"

  WriteRegStr HKLM "${QF_REGKEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${QF_REGKEY}" "Version" "${QF_VERSION}"

  WriteRegStr HKLM "${QF_UNINSTKEY}" "DisplayName" "${QF_NAME}"
  WriteRegStr HKLM "${QF_UNINSTKEY}" "DisplayVersion" "${QF_VERSION}"
  WriteRegStr HKLM "${QF_UNINSTKEY}" "Publisher" "${QF_PUBLISHER}"
  WriteRegStr HKLM "${QF_UNINSTKEY}" "DisplayIcon" "$INSTDIR\qf.exe,0"
  WriteRegStr HKLM "${QF_UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${QF_UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${QF_UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${QF_UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${QF_UNINSTKEY}" "NoRepair" 1
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${QF_UNINSTKEY}" "EstimatedSize" $0

  !insertmacro NotifyAssociationChanged
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\qf.exe"
  Delete "$INSTDIR\qftool.exe"
  Delete "$INSTDIR\qf.chm"
  Delete "$INSTDIR\qf.sf2"
  Delete "$INSTDIR\qf.sf2-license.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${QF_NAME}\${QF_NAME}.lnk"
  Delete "$SMPROGRAMS\${QF_NAME}\${QF_NAME}帮助.lnk"
  Delete "$SMPROGRAMS\${QF_NAME}\卸载${QF_NAME}.lnk"
  RMDir "$SMPROGRAMS\${QF_NAME}"

  ; The extension is removed only while it still names this program's type.
  ReadRegStr $0 HKLM "Software\Classes\.qfi" ""
  StrCmp $0 "${QF_PROGID}" 0 +2
    DeleteRegKey HKLM "Software\Classes\.qfi"
  DeleteRegKey HKLM "Software\Classes\${QF_PROGID}"
  DeleteRegKey HKLM "Software\Classes\Applications\qf.exe"
  DeleteRegKey HKCU "Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.qfi"
  DeleteRegValue HKLM "Software\Microsoft\Windows\HTML Help" "qf.chm"

  DeleteRegKey HKLM "${QF_REGKEY}"
  DeleteRegKey HKCU "${QF_REGKEY}"
  DeleteRegKey HKLM "${QF_UNINSTKEY}"

  !insertmacro NotifyAssociationChanged
SectionEnd
