; The per-user installer of Bulkon for Windows, made with NSIS by .ci/windows-package:
;   makensis -DVERSION=1.0.0 -DFILES=<folder with bulkon.exe, README.txt and LICENSE.txt>
;            -DRESOURCES=<resources/windows> -DOUTFILE=<bulkon-1.0.0-setup.exe> bulkon.nsi
; It installs into %LOCALAPPDATA%\Programs\Bulkon without administrator rights, adds a
; Start-menu shortcut and an entry under "Installed apps"; the uninstaller removes exactly
; what the installer put there. Its pages are English or German, as Windows is set.
; A 64-bit installer for the 64-bit program: it also runs where Windows (or Wine) has no
; 32-bit subsystem.
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

!ifndef VERSION | FILES | RESOURCES | OUTFILE
    !error "define VERSION, FILES, RESOURCES (resources/windows) and OUTFILE"
!endif

!define PUBLISHER "Vantrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Bulkon"

Name "Bulkon ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Bulkon"
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Bulkon"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Bulkon ${VERSION} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 The Bulkon authors, MIT licence"

!define MUI_ICON "${RESOURCES}/bulkon.ico"
!define MUI_UNICON "${RESOURCES}/bulkon.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${RESOURCES}/installer-welcome.bmp"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\bulkon.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${FILES}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first is the one for every other Windows language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

Section "Bulkon"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${FILES}/bulkon.exe"
    File "${FILES}/README.txt"
    File "${FILES}/LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Bulkon.lnk" "$INSTDIR\bulkon.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Bulkon"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bulkon.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; The size "Installed apps" shows, in KiB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer put there goes: a file the user left in the folder keeps it.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\Bulkon.lnk"
    Delete "$INSTDIR\bulkon.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
