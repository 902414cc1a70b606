; The Windows installer of korvane, built by scripts/windows.sh package with Debian's makensis:
;   makensis -DVERSION=x.y.z -DSTAGE=<installed tree> -DOUTFILE=<setup.exe> korvane.nsi
; It installs the two programs with their help and samples into one folder, adds a Start-menu
; entry and an entry under Apps & features, and removes exactly that again.
; A 64-bit installer for the 64-bit programs (it runs under a 64-bit-only Wine as well).
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be given with -D"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\korvane"

Name "korvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\korvane"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "korvane"
VIAddVersionKey "FileDescription" "korvane setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "korvane developers"
VIAddVersionKey "LegalCopyright" "2026 korvane developers"

LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "korvane"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}/korvane.exe"
  File "${STAGE}/korvane-cli.exe"
  File "${STAGE}/copyright.txt"
  SetOutPath "$INSTDIR\help"
  File "${STAGE}/help/*.html"
  SetOutPath "$INSTDIR\samples"
  File "${STAGE}/samples/*.*"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\korvane"
  CreateShortcut "$SMPROGRAMS\korvane\korvane.lnk" "$INSTDIR\korvane.exe" "" "$INSTDIR\korvane.exe" 0
  CreateShortcut "$SMPROGRAMS\korvane\サンプル.lnk" "$INSTDIR\samples"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "korvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "korvane developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The settings in %APPDATA%\korvane stay: they are the user's machine profiles.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\korvane\korvane.lnk"
  Delete "$SMPROGRAMS\korvane\サンプル.lnk"
  RMDir "$SMPROGRAMS\korvane"
  Delete "$INSTDIR\korvane.exe"
  Delete "$INSTDIR\korvane-cli.exe"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\help\*.html"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\samples\sample.nc"
  RMDir "$INSTDIR\samples"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
