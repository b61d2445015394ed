; Reradav's installer: a per-machine install under Program Files, a Start-menu shortcut and an
; uninstaller listed in Apps & features; /S installs or uninstalls silently. The uninstaller
; leaves the users' settings (%APPDATA%\Reradav). Built by packaging/windows/CMakeLists.txt,
; which defines VERSION, VERSION4 (a.b.c.d), PUBLISHER, HOMEPAGE, STAGE (the files), FILES (an
; include with the InstallFiles and RemoveFiles macros), OUTFILE and, when there is one, ICON.
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Reradav"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"

Name "Reradav"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Reradav"
; An upgrade goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "Reradav"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Reradav ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "${FILES}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
; No "run Reradav now": the program would run as the administrator who installed it.
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The 64-bit registry and the all-users Start menu, for the installer and the uninstaller alike.
!macro PerMachine
  SetRegView 64
  SetShellVarContext all
!macroend

Function .onInit
  !insertmacro PerMachine
FunctionEnd

Function un.onInit
  !insertmacro PerMachine
FunctionEnd

Section "Reradav"
  SetOutPath "$INSTDIR"
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Reradav.lnk" "$INSTDIR\reradav.exe" "" "$INSTDIR\reradav.exe" 0 \
    SW_SHOWNORMAL "" "Types what a serial bar-code scanner reads"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Reradav"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\reradav.exe,0"
  ; Quoted: a folder with blanks must not start C:\Program.exe.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  !insertmacro RemoveFiles
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: a file someone put there is theirs.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Reradav.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The start at the next logon the program arranged (AutoLoad=1) would name a removed program.
  DeleteRegValue HKCU "${RUNONCE_KEY}" "Reradav"
SectionEnd
