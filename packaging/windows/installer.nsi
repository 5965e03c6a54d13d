; The Windows installer: the program in the user's own programs folder, a desktop shortcut, a
; Start-menu entry and a "Send To" entry (all three take dropped files), and an uninstaller that
; removes them again and leaves the user's settings alone. No administrator rights are needed.
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0 -DVERSION4=1.0.0.0 -DPROGRAM64=64bit/milte-post.exe \
;            -DPROGRAM32=32bit/milte-post.exe -DREADME=readme.txt -DICON=milte-post.ico \
;            -DOUTFILE=setup.exe installer.nsi
; A 32-bit installer runs on every Windows: it installs the 64-bit program on 64-bit Windows and
; the 32-bit one elsewhere.
Target x86-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

!define PRODUCT "ミルテ・ポスト"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MiltePost"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\MiltePost"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} インストーラー"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "Varrowen"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright (C) Varrowen"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

; The last page offers to start the program, which opens on its settings: they come first.
!define MUI_FINISHPAGE_TEXT "${PRODUCT} のインストールが完了しました。$\r$\n$\r$\nはじめに設定画面で、あなたの名前と送信先（携帯電話のメールアドレス）を保存してください。ファイルはそのあと送信できます。"
!define MUI_FINISHPAGE_RUN "$INSTDIR\milte-post.exe"
!define MUI_FINISHPAGE_RUN_TEXT "${PRODUCT} を起動して設定する"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; One program section for each width; .onInit keeps the one that fits, so the space the
; directory page asks for is that of the program installed.
Section "-64-bit program" SectionProgram64
  SetOutPath "$INSTDIR"
  File "/oname=milte-post.exe" "${PROGRAM64}"
SectionEnd

Section "-32-bit program" SectionProgram32
  SetOutPath "$INSTDIR"
  File "/oname=milte-post.exe" "${PROGRAM32}"
SectionEnd

Function .onInit
  ${If} ${RunningX64}
    !insertmacro UnselectSection ${SectionProgram32}
  ${Else}
    !insertmacro UnselectSection ${SectionProgram64}
  ${EndIf}
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "/oname=readme.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\milte-post.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\milte-post.exe"
  CreateShortcut "$SENDTO\${PRODUCT}.lnk" "$INSTDIR\milte-post.exe"

  ; The installed size in KiB, as the list of installed programs shows it.
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Varrowen"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\milte-post.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The settings under HKCU\Software\Varrowen\iZDQ stay for a later installation.
Section "Uninstall"
  Delete "$DESKTOP\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SENDTO\${PRODUCT}.lnk"
  Delete "$INSTDIR\milte-post.exe"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
