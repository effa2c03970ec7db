; The Koravel installer. CMake passes in, with -D:
;   VERSION  the project version, three numbers (0.3.0)
;   EXE      the built Koravel.exe
;   LICENSE  the licence as a Windows text file (CRLF)
;   ICON     the swirl icon, for the installer and the uninstaller
;   OUTFILE  the installer to write
; The installer is itself a 64-bit program: it installs a 64-bit program, and
; some 64-bit systems (and Wine set up without 32-bit support) run nothing else.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!ifndef VERSION | EXE | LICENSE | ICON | OUTFILE
    !error "makensis needs -DVERSION= -DEXE= -DLICENSE= -DICON= -DOUTFILE="
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Koravel"
!define PUBLISHER "The Koravel developers"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

Name "Koravel"
OutFile "${OUTFILE}"
; An upgrade goes where the last install went.
InstallDir "$PROGRAMFILES64\Koravel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Koravel ${VERSION}"

; The installer's own properties, as Explorer shows them.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Koravel"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Koravel ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}. MIT License."

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The stock text speaks of system files and reboots; Koravel touches neither.
!define MUI_WELCOMEPAGE_TEXT "Setup will install Koravel ${VERSION}, the Dreamcast flash region \
settings editor, for all users of this computer.$\r$\n$\r$\nIf Koravel is running, close it \
first.$\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Koravel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Koravel"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Program Files, the all-users Start menu and HKLM need an administrator; with
; UAC off, a standard user would otherwise get a half-done install.
!macro RequireAdmin
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "admin"
        MessageBox MB_ICONSTOP|MB_OK "Installing Koravel for all users needs an administrator." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
!macroend

Function .onInit
    SetRegView 64
    SetShellVarContext all
    !insertmacro RequireAdmin
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
    !insertmacro RequireAdmin
FunctionEnd

Section "Koravel"
    SetOutPath "$INSTDIR"
    File "/oname=Koravel.exe" "${EXE}"
    File "/oname=LICENSE.txt" "${LICENSE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Directly in Programs: one program, one shortcut, no folder of its own.
    CreateShortcut "$SMPROGRAMS\Koravel.lnk" "$INSTDIR\Koravel.exe" "" "$INSTDIR\Koravel.exe" 0 \
        SW_SHOWNORMAL "" "Edit the region settings of a Dreamcast flash image"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Koravel"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Koravel.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

    ; What the folder really holds, uninstaller included, rounded up to KiB.
    ${GetSize} "$INSTDIR" "/S=0B" $0 $1 $2
    IntOp $0 $0 + 1023
    IntOp $0 $0 / 1024
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the installer put there: anything else the user left in the
; folder stays, and so does the folder.
Section "Uninstall"
    Delete "$SMPROGRAMS\Koravel.lnk"
    Delete "$INSTDIR\Koravel.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
