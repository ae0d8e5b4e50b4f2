; The Windows installer of QELM Config, made by makensis (NSIS 3) in the Windows build:
; qelm-config-<version>-setup.exe. It installs for every user of the machine into Program Files:
; the window program, qelm-cli, the help file beside the program (the Help button opens it
; there) and the licence; it makes Start-menu shortcuts for the window and the help, and
; registers its uninstaller with the system (Apps and features). "/S" installs and uninstalls
; silently. Uninstalling removes everything it installed and nothing else: each user's log
; (in the local application data folder) and preferences (in the user's registry) stay.
;
; Defines from the build (makensis -D...): VERSION (1.0.0), PROGRAM and CLI (the two
; programs), HELP, LICENSE_FILE, ICON, and OUTFILE.

; A 64-bit installer, for 64-bit programs: Program Files, the registry and the shortcuts are
; the native ones, with no redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"

!define PRODUCT "QELM Config"
!define PUBLISHER "Morva Fendral"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QELM Config"
!define MENU_FOLDER "$SMPROGRAMS\QELM Config"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\QELM Config"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 ${PUBLISHER}, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\qelm-config.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Shortcuts for every user of the machine.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "/oname=qelm-config.exe" "${PROGRAM}"
  File "/oname=qelm-cli.exe" "${CLI}"
  File "/oname=QELM_Help.htm" "${HELP}"
  File "/oname=LICENSE.txt" "${LICENSE_FILE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\QELM Config.lnk" "$INSTDIR\qelm-config.exe"
  CreateShortcut "${MENU_FOLDER}\QELM Config Help.lnk" "$INSTDIR\QELM_Help.htm"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qelm-config.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  ; Only what the installer put there, by name: a folder the user chose is never emptied
  ; wholesale, and files someone else left in it stay (the folder then stays too).
  Delete "$INSTDIR\qelm-config.exe"
  Delete "$INSTDIR\qelm-cli.exe"
  Delete "$INSTDIR\QELM_Help.htm"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${MENU_FOLDER}\QELM Config.lnk"
  Delete "${MENU_FOLDER}\QELM Config Help.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
