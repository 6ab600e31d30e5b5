; Veltrano's setup for all users of a computer. Built by scripts/package.sh:
;   makensis -DVERSION=x.y.z -DBIN=<folder of Veltrano.exe> -DOUTFILE=<setup.exe> Veltrano.nsi
; The version comes from project(VERSION) in CMakeLists.txt, by way of that script.

; A 64-bit program gets a 64-bit setup: it sees the 64-bit Program Files and registry.
Target amd64-unicode
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrano"
; The program's own names: its main window's class, and the value it writes to start with Windows.
!define MAIN_WINDOW_CLASS "Veltrano.frmMain"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define AUTORUN_VALUE "Dravelquin"

Name "Korvane Veltrano ${VERSION}"
OutFile "${OUTFILE}"
Icon "../resources/Veltrano.ico"
UninstallIcon "../resources/Veltrano.ico"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\Veltrano"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; What Windows sends at log-off: Veltrano saves its settings and ends. The
; window goes a moment before the process lets go of its exe, so the wait ends
; when the exe can be opened for writing. At most about 10 s each.
!macro CloseVeltrano un
Function ${un}CloseVeltrano
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
    ${If} $0 = 0
        Return
    ${EndIf}
    DetailPrint "Closing Veltrano..."
    SendMessage $0 ${WM_QUERYENDSESSION} 0 0 $1 /TIMEOUT=5000
    SendMessage $0 ${WM_ENDSESSION} 1 0 $1 /TIMEOUT=5000
    StrCpy $2 0
    ${Do}
        FindWindow $0 "${MAIN_WINDOW_CLASS}"
        ${If} $0 = 0
            ${IfNot} ${FileExists} "$INSTDIR\Veltrano.exe"
                Return
            ${EndIf}
            ClearErrors
            FileOpen $1 "$INSTDIR\Veltrano.exe" a
            ${IfNot} ${Errors}
                FileClose $1
                Return
            ${EndIf}
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
    ${LoopUntil} $2 >= 100
FunctionEnd
!macroend
!insertmacro CloseVeltrano ""
!insertmacro CloseVeltrano "un."

Function .onInit
    SetRegView 64
    SetShellVarContext all
    ; Without administrator rights nothing can be written to Program Files.
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP "Veltrano is installed for all users: run its setup as an administrator." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
    ; An upgrade goes where the earlier version is.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

Section "Veltrano"
    Call CloseVeltrano
    SetOutPath "$INSTDIR"
    File "${BIN}/Veltrano.exe"
    File "${BIN}/veltrano-help.html"
    ; The server list is the user's: one already there stays as it is, and
    ; the list of this version lies beside it.
    ${If} ${FileExists} "$INSTDIR\ntp_servers.txt"
        File "/oname=ntp_servers.new.txt" "${BIN}/ntp_servers.txt"
    ${Else}
        File "${BIN}/ntp_servers.txt"
    ${EndIf}
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\Veltrano.lnk" "$INSTDIR\Veltrano.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Korvane Veltrano"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Korvane"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Veltrano.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

; Takes away what the setup and the program put on the machine; the
; settings of each user (HKCU\Software\Veltrano) stay.
Section "Uninstall"
    Call un.CloseVeltrano
    Delete "$INSTDIR\Veltrano.exe"
    Delete "$INSTDIR\veltrano-help.html"
    Delete "$INSTDIR\ntp_servers.txt"
    Delete "$INSTDIR\ntp_servers.new.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Veltrano.lnk"
    DeleteRegValue HKLM "${RUN_KEY}" "${AUTORUN_VALUE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
