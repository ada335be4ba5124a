; Installer of Brenvik-USB: a per-user installation into the user's local programs folder, which
; needs no administrator rights and keeps Brenvik.ini beside the program writable. The build
; (installer/package.cmake) passes what it knows with -D:
;   VERSION, VERSION_FIELDS   the project's version, as text (1.05) and as four numbers (1.0.5.0)
;   MAKER, MAKER_URL, YEAR    the maker's name, web address and copyright year from res/maker.h
;   BIN                       the build's program folder: the program, its images, FTCSPI.dll
;   FILE_LIST                 the generated list of program files (installer/package.cmake)
;   README, SCENARIO, ICON    the operator text, the demo's sample scenario, the program's icon
;   OUTFILE                   the installer to write
; Switches: /S silent, /D=<folder> installation folder, /DEMO also install the demo.

Unicode true
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "${FILE_LIST}"

!define PRODUCT "Brenvik-USB"
!define PROGRAM "Brenvik-USB.exe"
!define DEMO_DIR "Demo"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An update goes where the first installation went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_FIELDS}"
VIFileVersion "${VERSION_FIELDS}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${YEAR} ${MAKER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowFinishPage
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Used with BRENVIK_PROGRAM_FILES: one file of the program into the output folder, or out of the
; folder in $R0.
!macro InstallProgramFile NAME
    File "${BIN}\${NAME}"
!macroend
!macro RemoveProgramFile NAME
    Delete "$R0\${NAME}"
!macroend

; Removes the demo's files; the operator's configurations stay, and so does the virtual supply's
; state when an update leaves the demo out (the uninstaller removes the state first).
!macro RemoveDemo
    StrCpy $R0 "$INSTDIR\${DEMO_DIR}"
    !insertmacro BRENVIK_PROGRAM_FILES RemoveProgramFile
    Delete "$R0\FTCSPI.dll"
    Delete "$R0\virtual-supply-scenario.txt"
    RMDir "$R0"
    Delete "$SMPROGRAMS\${PRODUCT} Demo.lnk"
!macroend

; Files in use cannot be replaced or removed: both copies of the program hold the single-instance
; semaphore named after the executable while they run.
!macro RefuseWhileRunning
    ${Do}
        System::Call 'kernel32::OpenSemaphoreW(i 0x00100000, i 0, w "${PRODUCT}") p .r0'
        ${If} $0 = 0
            ${Break}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY +2
        Abort
    ${Loop}
!macroend

Section "${PRODUCT}" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    !insertmacro BRENVIK_PROGRAM_FILES InstallProgramFile
    File "/oname=README.txt" "${README}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; The shortcut's working folder is the output folder: the window's images are opened from it.
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "${MAKER_URL}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Demo (virtual supply)" SecDemo
    SetOutPath "$INSTDIR\${DEMO_DIR}"
    !insertmacro BRENVIK_PROGRAM_FILES InstallProgramFile
    File "${BIN}\FTCSPI.dll"
    ; An update keeps the operator's edits of the scenario.
    SetOverwrite off
    File "/oname=virtual-supply-scenario.txt" "${SCENARIO}"
    SetOverwrite on
    CreateShortCut "$SMPROGRAMS\${PRODUCT} Demo.lnk" "$INSTDIR\${DEMO_DIR}\${PROGRAM}"
SectionEnd

Section "-Finish"
    ${IfNot} ${SectionIsSelected} ${SecDemo}
        !insertmacro RemoveDemo
    ${EndIf}
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
    !insertmacro RefuseWhileRunning
    ; The demo stays in an update that finds it installed.
    ${GetParameters} $1
    ClearErrors
    ${GetOptions} $1 "/DEMO" $2
    ${IfNot} ${Errors}
    ${OrIf} ${FileExists} "$INSTDIR\${DEMO_DIR}\${PROGRAM}"
        !insertmacro SelectSection ${SecDemo}
    ${EndIf}
FunctionEnd

; With the demo installed, the last page's "Run" starts the demo as its shortcut does: a first
; look at the program with a supply that answers, where the real program would find no adapter
; library yet.
Function ShowFinishPage
    ${If} ${SectionIsSelected} ${SecDemo}
        SendMessage $mui.FinishPage.Run ${WM_SETTEXT} 0 "STR:&Run ${PRODUCT} Demo"
    ${EndIf}
FunctionEnd

Function StartProgram
    ${If} ${SectionIsSelected} ${SecDemo}
        SetOutPath "$INSTDIR\${DEMO_DIR}"
    ${Else}
        SetOutPath "$INSTDIR"
    ${EndIf}
    Exec '"$OUTDIR\${PROGRAM}"'
FunctionEnd

; Removes what the installation put there and the demo's virtual supply state, which belongs to
; the demo rather than the operator; Brenvik.ini and saved configurations stay, and with them the
; folders that hold them.
Section "Uninstall"
    Delete "$INSTDIR\${DEMO_DIR}\virtual-supply-state.txt"
    !insertmacro RemoveDemo
    StrCpy $R0 "$INSTDIR"
    !insertmacro BRENVIK_PROGRAM_FILES RemoveProgramFile
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
    !insertmacro RefuseWhileRunning
FunctionEnd
