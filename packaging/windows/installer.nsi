; The Windows installer: the program in the user's own programs folder, a desktop shortcut, a
; Start-menu entry and a "Send To" entry (all three take dropped files), and an uninstaller that
; removes them again and leaves the user's settings alone. No administrator rights are needed.
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0 -DPROGRAM=milte-post.exe -DREADME=readme.txt \
;            -DOUTFILE=setup.exe installer.nsi
; A 64-bit installer for the 64-bit program (it runs where the program runs, Wine included).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define PRODUCT "ミルテ・ポスト"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MiltePost"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\MiltePost"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} インストーラー"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "Varrowen"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright (C) Varrowen"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Section
  SetOutPath "$INSTDIR"
  File "/oname=milte-post.exe" "${PROGRAM}"
  File "/oname=readme.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\milte-post.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\milte-post.exe"
  CreateShortcut "$SENDTO\${PRODUCT}.lnk" "$INSTDIR\milte-post.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Varrowen"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\milte-post.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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
