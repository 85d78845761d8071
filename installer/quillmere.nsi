# The Windows installer of Quillmere: the 64-bit screen saver into the system
# folder, quillmere-check.exe and the uninstaller into Program Files\Quillmere,
# an entry in Add/Remove Programs, and Quillmere as the active screen saver
# unless /NOACTIVATE is given. /S installs (and uninstalls) silently.
#
#   makensis -DBUILD_DIR=../build/win64 -DOUTFILE=../build/Quillmere-setup.exe installer/quillmere.nsi
#
# makensis works from this script's folder, so relative paths start here.
# The normal build runs this for the win64 configuration.

# A 64-bit installer: it carries the 64-bit saver, writes the 64-bit registry
# view and sees the real system folder.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!ifndef BUILD_DIR
    !error "BUILD_DIR: the folder holding Quillmere.scr and quillmere-check.exe"
!endif
!ifndef OUTFILE
    !define OUTFILE "Quillmere-setup.exe"
!endif
# The version lives in one place, beside the saver's version resource.
!searchparse /file "../resources/resource.h" \
    `#define QUILLMERE_VERSION_TEXT "` VERSION `"`

!define PRODUCT "Quillmere"
!define PUBLISHER "The Quillmere developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere"
!define DESKTOP_KEY "Control Panel\Desktop"
# Where the installer remembers the screen saver it replaced, for the
# uninstaller. Not the settings key: that one is the user's, and its absence
# means something to the saver.
!define SETUP_KEY "Software\Quillmere Setup"
!define SAVER "$SYSDIR\Quillmere.scr"

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
# Installing again goes where the last installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

!define MUI_ICON "../resources/quillmere.ico"
!define MUI_UNICON "../resources/quillmere.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_DIRECTORYPAGE_TEXT_TOP "The screen saver goes into the Windows system folder, where the display settings look for it. Setup will install quillmere-check (the command-line companion) and the uninstaller in the following folder. To install them in a different folder, click Browse and select another folder. Click Install to start the installation."
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!define MUI_UNCONFIRMPAGE_TEXT_TOP "Quillmere will be removed from the Windows system folder and from the following folder. Your Quillmere settings are kept. Click Uninstall to start the uninstallation."
!define MUI_FINISHPAGE_RUN "${SAVER}"
!define MUI_FINISHPAGE_RUN_PARAMETERS "/c"
!define MUI_FINISHPAGE_RUN_TEXT "Open the Quillmere settings"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Quillmere screen saver" SecSaver
    SectionIn RO
    SetOutPath "$SYSDIR"
    File "${BUILD_DIR}/Quillmere.scr"
    SetOutPath "$INSTDIR"
    File "${BUILD_DIR}/quillmere-check.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${SAVER},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize ${SecSaver} $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make Quillmere the active screen saver" SecActivate
    Call IsActive
    Pop $0
    # An upgrade finds Quillmere active already: what it replaced stays remembered.
    ${If} $0 != 1
        DeleteRegKey HKCU "${SETUP_KEY}"
        ClearErrors
        ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${IfNot} ${Errors}
            WriteRegStr HKCU "${SETUP_KEY}" "PreviousScreenSaver" $1
        ${EndIf}
        WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "${SAVER}"
    ${EndIf}
SectionEnd

Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOACTIVATE" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecActivate}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.IsActive
    Pop $0
    Delete /REBOOTOK "${SAVER}"   # a saver still running goes at the next start
    Delete "$INSTDIR\quillmere-check.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    # Only while Quillmere is still the active one: a saver the user chose
    # since is theirs. Without a remembered one, none is active.
    ${If} $0 == 1
        ClearErrors
        ReadRegStr $1 HKCU "${SETUP_KEY}" "PreviousScreenSaver"
        ${If} ${Errors}
            DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${Else}
            WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $1
        ${EndIf}
    ${EndIf}
    DeleteRegKey HKCU "${SETUP_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    # HKCU\Software\Quillmere stays: the user's settings are theirs.
SectionEnd

# Pushes 1 when SCRNSAVE.EXE names the installed saver, else 0. The display
# settings may have written the short form of the path, so both paths are
# compared in their short forms when the file is there.
!macro IS_ACTIVE prefix
Function ${prefix}IsActive
    Push $1
    Push $2
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    StrCpy $2 "${SAVER}"
    ${If} ${FileExists} "${SAVER}"
    ${AndIf} $1 != ""
        GetFullPathName /SHORT $2 "${SAVER}"
        GetFullPathName /SHORT $1 $1
    ${EndIf}
    ${If} $1 != ""
    ${AndIf} $1 == $2
        StrCpy $1 1
    ${Else}
        StrCpy $1 0
    ${EndIf}
    Pop $2
    Exch $1
FunctionEnd
!macroend
!insertmacro IS_ACTIVE ""
!insertmacro IS_ACTIVE "un."
