# The Windows installer of Quillmere: the 64-bit screen saver into the system
# folder, quillmere-check.exe and the uninstaller into Program Files\Quillmere,
# an entry in Add/Remove Programs, and Quillmere as the active screen saver
# unless /NOACTIVATE is given. /S installs (and uninstalls) silently.
#
#   makensis -DBUILD_DIR=../build/win64 -DOUTFILE=../build/Quillmere-setup.exe installer/quillmere.nsi
#   makensis -DX86 -DBUILD_DIR=../build/win32 -DOUTFILE=../build/Quillmere-setup-x86.exe installer/quillmere.nsi
#
# makensis works from this script's folder, so relative paths start here.
# The normal build runs this for the win64 configuration, and with -DX86 for
# the win32 one.

# A 64-bit installer carries the 64-bit saver, writes the 64-bit registry
# view and sees the real system folder; the x86 one does the same on 32-bit
# Windows, and sends a 64-bit Windows to the 64-bit installer.
!ifdef X86
Target x86-unicode
!else
Target amd64-unicode
!endif
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
!include WinMessages.nsh
!include x64.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!ifdef X86
InstallDir "$PROGRAMFILES\${PRODUCT}"
!else
InstallDir "$PROGRAMFILES64\${PRODUCT}"
!endif
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

# Puts a file of the build at target, or, when target is still in use,
# beside it to take its place at the next restart (the reboot flag is set:
# the finish page offers the restart, a silent run ends with 3010). Never
# the old file left in place with success reported.
!macro INSTALL_FILE source target
    ClearErrors
    File "/oname=${target}" "${source}"
    ${If} ${Errors}
        GetTempFileName $0 "$OUTDIR"
        File "/oname=$0" "${source}"
        Rename /REBOOTOK "$0" "${target}"
        DetailPrint "${target} is in use: the new one takes its place at the next restart"
    ${EndIf}
!macroend

Section "Quillmere screen saver" SecSaver
    SectionIn RO
    Call EndRunningSavers
    # A file in use sets the error flag instead of asking (a silent run would skip it).
    SetOverwrite try
    SetOutPath "$SYSDIR"
    !insertmacro INSTALL_FILE "${BUILD_DIR}/Quillmere.scr" "${SAVER}"
    SetOutPath "$INSTDIR"
    !insertmacro INSTALL_FILE "${BUILD_DIR}/quillmere-check.exe" "$INSTDIR\quillmere-check.exe"
    SetOverwrite on
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

Function .onInstSuccess
    # 3010: installed, and a restart finishes it.
    IfRebootFlag 0 +2
    SetErrorLevel 3010
FunctionEnd

# Ends the running instances of the installed saver in this session (the
# screen saver, its preview, its settings): they hold its file. Each is first
# asked to close, as a key would end it, so that it closes the emulator it
# launched; what still runs after 15 s, or has no saver window, is ended.
# Nothing of other sessions (other users) and no other program is touched.
Function EndRunningSavers
    !define /ifndef TH32CS_SNAPPROCESS 2
    !define /ifndef SYNCHRONIZE_TERMINATE_QUERY 0x00101001
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    System::Call 'kernel32::GetCurrentProcessId() i .r0'
    System::Call 'kernel32::ProcessIdToSessionId(i r0, *i .r1)'
    System::Call 'kernel32::CreateToolhelp32Snapshot(i ${TH32CS_SNAPPROCESS}, i 0) p .r2'
    # PROCESSENTRY32W: size, usage, id, (on x64 padding,) heap id (a pointer's
    # size), module id, threads, parent id, priority, flags, the executable's
    # name (260 WCHARs).
!ifdef X86
    !define /redef ENTRY_SIZE 556
    !define /redef ENTRY_FIELDS "i, i, i .r5, i, i, i, i, i, i, &w260 .r6"
!else
    !define /redef ENTRY_SIZE 568
    !define /redef ENTRY_FIELDS "i, i, i .r5, i, l, i, i, i, i, i, &w260 .r6"
!endif
    System::Alloc ${ENTRY_SIZE}
    Pop $3
    System::Call '*$3(i ${ENTRY_SIZE})'
    System::Call 'kernel32::Process32FirstW(p r2, p r3) i .r4'
    ${DoWhile} $4 <> 0
        System::Call '*$3(${ENTRY_FIELDS})'
        System::Call 'kernel32::ProcessIdToSessionId(i r5, *i .r0)'
        ${If} $6 == "Quillmere.scr"
        ${AndIf} $0 = $1
            System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE_TERMINATE_QUERY}, i 0, i r5) p .r0'
            ${If} $0 P<> 0
                Push $0
                Push $5
                Call EndSaver
            ${EndIf}
        ${EndIf}
        System::Call 'kernel32::Process32NextW(p r2, p r3) i .r4'
    ${Loop}
    System::Free $3
    System::Call 'kernel32::CloseHandle(p r2)'
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

# EndSaver(handle, process id): ends the process when it runs the installed
# saver (another Quillmere.scr, a developer's build, is left alone), and
# closes the handle.
Function EndSaver
    Exch $0   # the process id
    Exch
    Exch $1   # the handle
    Push $2
    Push $3
    Push $4
    System::Call 'kernel32::QueryFullProcessImageNameW(p r1, i 0, w .r2, *i ${NSIS_MAX_STRLEN}) i .r3'
    ${If} $3 <> 0
    ${AndIf} $2 == "${SAVER}"
        StrCpy $3 0   # saver windows asked to close
        StrCpy $2 0
        ${Do}
            FindWindow $2 "WindowsScreenSaverClass" "" "" $2
            ${If} $2 = 0
                ${ExitDo}
            ${EndIf}
            System::Call 'user32::GetWindowThreadProcessId(p r2, *i .r4)'
            ${If} $4 = $0
                System::Call 'user32::PostMessageW(p r2, i ${WM_CLOSE}, p 0, p 0)'
                IntOp $3 $3 + 1
            ${EndIf}
        ${Loop}
        StrCpy $2 1   # not ended, unless the wait below says so
        ${If} $3 > 0
            System::Call 'kernel32::WaitForSingleObject(p r1, i 15000) i .r2'
        ${EndIf}
        ${If} $2 <> 0
            System::Call 'kernel32::TerminateProcess(p r1, i 1)'
            System::Call 'kernel32::WaitForSingleObject(p r1, i 5000)'
        ${EndIf}
        DetailPrint "Ended the running Quillmere screen saver (process $0)"
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

Function .onInit
!ifdef X86
    # Its saver would land in SysWOW64, where the 64-bit display settings
    # never look.
    ${If} ${RunningX64}
        MessageBox MB_ICONSTOP|MB_OK "This is the installer for 32-bit Windows: run Quillmere-setup.exe on 64-bit Windows." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
!endif
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
