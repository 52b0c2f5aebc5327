; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer: the programs into Program Files, a Start-menu entry,
; the tape image types opening in Relmuth, and an uninstaller that takes
; away what the installer put there. Built by scripts/build-windows.sh:
;
;   makensis -DVERSION=1.0.2.3 -DDIST=folder -DICON=relmuth.ico \
;            -DOUTFILE=relmuth-1.0.2.3-setup.exe scripts/windows-installer.nsi
;
; DIST holds what the portable zip holds. The installer is a 64-bit program, as the programs are, so that
; it sees the registry and Program Files as they do.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "../res/installer.nsh"

Name "${RELMUTH_NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${RELMUTH_NAME}"
InstallDirRegKey HKLM "Software\${RELMUTH_MAKER}\${RELMUTH_NAME}" "InstallDir"
BrandingText "${RELMUTH_NAME} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${RELMUTH_NAME}"
VIAddVersionKey /LANG=0 "CompanyName" "${RELMUTH_MAKER}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${RELMUTH_NAME} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${DIST}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\relmuth.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the one for a Windows set to neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${RELMUTH_NAME}"
!define CLASSES "Software\Classes"

; An extension that opens in Relmuth. What it opened in before is kept
; beside, and given back by the uninstaller.
!macro AssociateExtension EXT
  ReadRegStr $0 HKLM "${CLASSES}\${EXT}" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${RELMUTH_PROGID}"
    WriteRegStr HKLM "${CLASSES}\${EXT}" "${RELMUTH_PROGID}.Previous" $0
  ${EndIf}
  WriteRegStr HKLM "${CLASSES}\${EXT}" "" "${RELMUTH_PROGID}"
  WriteRegStr HKLM "${CLASSES}\${EXT}\OpenWithProgids" "${RELMUTH_PROGID}" ""
!macroend

; The extension as it was before the install: its former program back, when
; it still opens in Relmuth; the key gone, when nothing else is left in it.
!macro UnassociateExtension EXT
  ReadRegStr $0 HKLM "${CLASSES}\${EXT}" ""
  ${If} $0 == "${RELMUTH_PROGID}"
    ReadRegStr $1 HKLM "${CLASSES}\${EXT}" "${RELMUTH_PROGID}.Previous"
    ${If} $1 != ""
      WriteRegStr HKLM "${CLASSES}\${EXT}" "" $1
    ${Else}
      DeleteRegValue HKLM "${CLASSES}\${EXT}" ""
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${CLASSES}\${EXT}" "${RELMUTH_PROGID}.Previous"
  DeleteRegValue HKLM "${CLASSES}\${EXT}\OpenWithProgids" "${RELMUTH_PROGID}"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXT}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "${CLASSES}\${EXT}"
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${RELMUTH_NAME} runs on 64-bit Windows only." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "${RELMUTH_NAME}"
  SetOutPath "$INSTDIR"
  File "${DIST}/relmuth.exe"
  File "${DIST}/relmuth-tape.exe"
  File "${DIST}/LICENSE.txt"
  File "${DIST}/README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\${RELMUTH_MAKER}\${RELMUTH_NAME}" "InstallDir" "$INSTDIR"

  CreateShortcut "$SMPROGRAMS\${RELMUTH_NAME}.lnk" "$INSTDIR\relmuth.exe"

  WriteRegStr HKLM "${CLASSES}\${RELMUTH_PROGID}" "" "${RELMUTH_TYPE_NAME}"
  WriteRegStr HKLM "${CLASSES}\${RELMUTH_PROGID}\DefaultIcon" "" '"$INSTDIR\relmuth.exe",0'
  WriteRegStr HKLM "${CLASSES}\${RELMUTH_PROGID}\shell\open\command" "" '"$INSTDIR\relmuth.exe" "%1"'
  !insertmacro AssociateExtension ".kxm"
  !insertmacro AssociateExtension ".t88"
  !insertmacro AssociateExtension ".cmt"
  !insertmacro AssociateExtension ".cas"
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icons at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\relmuth.exe",0'

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${RELMUTH_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${RELMUTH_MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !insertmacro UnassociateExtension ".kxm"
  !insertmacro UnassociateExtension ".t88"
  !insertmacro UnassociateExtension ".cmt"
  !insertmacro UnassociateExtension ".cas"
  DeleteRegKey HKLM "${CLASSES}\${RELMUTH_PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  Delete "$SMPROGRAMS\${RELMUTH_NAME}.lnk"
  ; By name, never the folder's whole contents: a user's tape saved in the
  ; program's folder stays.
  Delete "$INSTDIR\relmuth.exe"
  Delete "$INSTDIR\relmuth-tape.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\${RELMUTH_MAKER}\${RELMUTH_NAME}"
  DeleteRegKey /ifempty HKLM "Software\${RELMUTH_MAKER}"
SectionEnd
