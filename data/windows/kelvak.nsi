; The Windows installer: kelvak.exe and its help document in Program Files, a Start-menu entry and
; an uninstaller that removes the program and leaves the user's files in %APPDATA%\Kelvak.
; Built by makensis with -DVERSION=, -DEXE=, -DDATA= (the data folder), -DICON= (the program's icon)
; and -DOUT= (the installer).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

Name "Kelvak"
Icon "${ICON}"
UninstallIcon "${ICON}"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES64\Kelvak"
InstallDirRegKey HKLM "Software\Kelvak" "InstallDir"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Kelvak"
VIAddVersionKey "FileDescription" "Kelvak — тренажёр приёма азбуки Морзе"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Kelvak developers"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvak"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Kelvak"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=kelvak.exe" "${EXE}"
  ; The program looks for its help document beside itself.
  File "/oname=Справка.rtf" "${DATA}/Справка.rtf"
  File "/oname=copyright.txt" "${DATA}/copyright"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Kelvak"
  CreateShortcut "$SMPROGRAMS\Kelvak\Kelvak.lnk" "$INSTDIR\kelvak.exe"
  CreateShortcut "$SMPROGRAMS\Kelvak\Справка Kelvak.lnk" "$INSTDIR\Справка.rtf"
  WriteRegStr HKLM "Software\Kelvak" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvak"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kelvak developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvak.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there goes: the user's history, course and settings in
; %APPDATA%\Kelvak stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\kelvak.exe"
  Delete "$INSTDIR\Справка.rtf"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kelvak\Kelvak.lnk"
  Delete "$SMPROGRAMS\Kelvak\Справка Kelvak.lnk"
  RMDir "$SMPROGRAMS\Kelvak"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Kelvak"
SectionEnd
