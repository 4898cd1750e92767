; The Windows installer: tarnwell.exe and tarnwell.chm side by side under
; Program Files, a Start-menu shortcut, and an uninstaller registered under
; Add/Remove Programs. /S installs and uninstalls silently.
;   makensis -DVERSION=1.1 -DPROGRAM=tarnwell.exe -DHELPFILE=tarnwell.chm
;            -DOUTFILE=tarnwell-1.1-setup.exe tarnwell.nsi

; A 64-bit installer for a 64-bit program; it also runs where no 32-bit
; Windows layer is installed (a 64-bit-only Wine among them).
Target amd64-unicode
!include "x64.nsh"

!define PRODUCT "Tarnwell"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwell"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The program is 64-bit: its folder and its uninstall entry are the 64-bit ones.
Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Tarnwell"
    SetOutPath "$INSTDIR"
    ; The program finds its help file beside itself.
    File "/oname=tarnwell.exe" "${PROGRAM}"
    File "/oname=tarnwell.chm" "${HELPFILE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\tarnwell.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tarnwell developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://tarnwell.example.org/"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnwell.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\tarnwell.exe"
    Delete "$INSTDIR\tarnwell.chm"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: files the user put there stay.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
