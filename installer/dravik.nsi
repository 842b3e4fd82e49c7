; Dravik's setup program, built with makensis by installer/build_installer.sh:
;
;   makensis -DVERSION=2.0.2.101 -DPUBLISHER=Varnholt -DICON=... -DBUILD_DIR=...
;            -DMOUNT_SCRIPT=... -DOUT_FILE=... installer/dravik.nsi
;
; Installs dravik.exe, dk2.exe and scripts\mount.dk2 under Program Files, a Start-menu entry and
; an entry in the system's list of installed programs. /S installs silently, /D=FOLDER (last on
; the command line) chooses the folder. Installing over an earlier install keeps the user's
; mount script when it differs from the one that install shipped, which is kept beside it as
; scripts\mount.dk2.default. The uninstaller first has dravik.exe give back every file type
; (dravik.exe /unregister), then removes the files, the Start-menu entry, the settings key and its
; own entry.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Dravik"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Dravik"
!define SETTINGS_KEY "Software\Varnholt\Dravik"
!define VENDOR_KEY "Software\Varnholt"
!define SHORTCUT "$SMPROGRAMS\Dravik.lnk"
!define UNINSTALLER "uninstall.exe"
!define SHIPPED_SCRIPT "mount.dk2.default"
!define UNREGISTER_FAILED "Dravik could not give back every file type it was opening. Check the file types in the system's default apps."

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
; A 32-bit program: Program Files (x86) on a 64-bit system.
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\dravik.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Dravik to choose the virtual-drive program and file types"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Answers on the stack whether the two files named on it hold the same bytes: 1 or 0. A file
; that cannot be opened is different from any.
Function FilesAreEqual
  Exch $1
  Exch
  Exch $0
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  StrCpy $6 0
  ClearErrors
  FileOpen $2 $0 r
  IfErrors done
  FileOpen $3 $1 r
  IfErrors close_first
  next:
    FileReadByte $2 $4
    IfErrors first_ended
    FileReadByte $3 $5
    IfErrors close_both
    StrCmp $4 $5 next close_both
  first_ended:
    ClearErrors
    FileReadByte $3 $5
    IfErrors 0 close_both
    StrCpy $6 1
  close_both:
    FileClose $3
  close_first:
    FileClose $2
  done:
  ClearErrors
  StrCpy $0 $6
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The shipped script replaces the installed one unless the user changed it: it then differs from
; the copy of what was shipped with it. Without such a copy (files put there by hand) the
; installed script counts as the user's.
Function InstallMountScript
  SetOutPath "$INSTDIR\scripts"
  StrCpy $0 1
  ${If} ${FileExists} "$INSTDIR\scripts\mount.dk2"
    Push "$INSTDIR\scripts\mount.dk2"
    Push "$INSTDIR\scripts\${SHIPPED_SCRIPT}"
    Call FilesAreEqual
    Pop $0
  ${EndIf}
  ${If} $0 == 1
    File "/oname=mount.dk2" "${MOUNT_SCRIPT}"
  ${Else}
    DetailPrint "Kept your changed scripts\mount.dk2; the new one is scripts\${SHIPPED_SCRIPT}"
  ${EndIf}
  File "/oname=${SHIPPED_SCRIPT}" "${MOUNT_SCRIPT}"
FunctionEnd

Function WriteUninstallEntry
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\dravik.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as the list of installed programs reads it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

Section
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BUILD_DIR}/src/dravik/dravik.exe"
  File "${BUILD_DIR}/src/dk2/dk2.exe"
  Call InstallMountScript
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  SetOutPath "$INSTDIR"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\dravik.exe" "" "$INSTDIR\dravik.exe" 0
  Call WriteUninstallEntry
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Gives back every file type and removes the file class before the program goes; a file type
  ; left pointing at a removed program would open nothing.
  ClearErrors
  ExecWait '"$INSTDIR\dravik.exe" /unregister' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "${UNREGISTER_FAILED}" /SD IDOK
  ${EndIf}
  Delete "$INSTDIR\dravik.exe"
  Delete "$INSTDIR\dk2.exe"
  Delete "$INSTDIR\dravik.log"
  Delete "$INSTDIR\scripts\mount.dk2"
  Delete "$INSTDIR\scripts\${SHIPPED_SCRIPT}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR\scripts"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
