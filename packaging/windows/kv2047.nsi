; The Windows installer of KV2047, made by scripts/package-windows:
;   makensis -DVERSION=1.0 -DSTAGE=<folder of the programs> -DOUTFILE=<setup.exe> kv2047.nsi
; Silent install: kv2047-<version>-win64-setup.exe /S [/D=C:\folder] (/D last, unquoted).
; A 64-bit installer for 64-bit programs (it also runs where only a 64-bit Wine is installed).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "x64.nsh"

Name "KV2047"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\KV2047"
InstallDirRegKey HKLM "Software\KV2047" "InstallDir"
BrandingText "KV2047 ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KV2047"

!define MUI_ICON "${STAGE}\kv2047.ico"
!define MUI_UNICON "${STAGE}\kv2047.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\kv2047.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "KV2047 needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
FunctionEnd

Section "KV2047" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\KV2047"
  CreateShortcut "$SMPROGRAMS\KV2047\KV2047.lnk" "$INSTDIR\kv2047.exe" "" "$INSTDIR\kv2047.ico"
  CreateShortcut "$SMPROGRAMS\KV2047\KV2047 Manual.lnk" "$INSTDIR\help\index.html"
  CreateShortcut "$SMPROGRAMS\KV2047\Uninstall KV2047.lnk" "$INSTDIR\uninstall.exe"

  ; Data files open in the program.
  WriteRegStr HKLM "Software\Classes\.AsmDat" "" "KV2047.AsmDat"
  WriteRegStr HKLM "Software\Classes\KV2047.AsmDat" "" "KV2047 data file"
  WriteRegStr HKLM "Software\Classes\KV2047.AsmDat\DefaultIcon" "" "$INSTDIR\kv2047.ico"
  WriteRegStr HKLM "Software\Classes\KV2047.AsmDat\shell\open\command" "" '"$INSTDIR\kv2047.exe" "%1"'

  WriteRegStr HKLM "Software\KV2047" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "KV2047"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "KV2047 developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kv2047.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Removes what the installer put there; the user's settings, journals and
; runs (in their own folders) stay.
Section "Uninstall"
  SetShellVarContext all
  !include "${FILELIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir /r "$SMPROGRAMS\KV2047"
  ReadRegStr $0 HKLM "Software\Classes\KV2047.AsmDat\shell\open\command" ""
  StrCmp $0 '"$INSTDIR\kv2047.exe" "%1"' 0 +3
    DeleteRegKey HKLM "Software\Classes\.AsmDat"
    DeleteRegKey HKLM "Software\Classes\KV2047.AsmDat"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\KV2047"
SectionEnd
