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
; The time service: its name (kServiceName) and the switch that starts the exe as it (kServiceSwitch).
!define SERVICE_NAME "VeltranoTime"
!define SERVICE_KEY "SYSTEM\CurrentControlSet\Services\${SERVICE_NAME}"
!define SC '"$SYSDIR\sc.exe"'

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

; What Windows sends at log-off: Veltrano saves its settings and ends. Waits
; at most about 10 s for its window to go; WaitForFreeExe then waits for the
; process to let go of its exe, as for the service.
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
            Return
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
    ${LoopUntil} $2 >= 100
FunctionEnd
!macroend
!insertmacro CloseVeltrano ""
!insertmacro CloseVeltrano "un."

; The running service holds the exe. Asked to stop before the program is
; closed, so that both go at once; a wait for the exe follows.
!macro StopTimeService un
Function ${un}StopTimeService
    nsExec::Exec '${SC} stop ${SERVICE_NAME}'
    Pop $0
FunctionEnd

; Until the exe can be opened for writing, at most about 20 s: the service
; and the program each let go of it a moment after they end.
Function ${un}WaitForFreeExe
    StrCpy $2 0
    ${Do}
        ${IfNot} ${FileExists} "$INSTDIR\Veltrano.exe"
            Return
        ${EndIf}
        ClearErrors
        FileOpen $1 "$INSTDIR\Veltrano.exe" a
        ${IfNot} ${Errors}
            FileClose $1
            Return
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
    ${LoopUntil} $2 >= 200
FunctionEnd
!macroend
!insertmacro StopTimeService ""
!insertmacro StopTimeService "un."

; Deleted once nothing holds it open any more: waits for that, at most about 10 s.
!macro DeleteTimeService un
Function ${un}DeleteTimeService
    nsExec::ExecToLog '${SC} delete ${SERVICE_NAME}'
    Pop $0
    StrCpy $2 0
    ${Do}
        nsExec::Exec '${SC} query ${SERVICE_NAME}'
        Pop $0
        ${If} $0 != 0
            Return
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
    ${LoopUntil} $2 >= 100
FunctionEnd
!macroend
!insertmacro DeleteTimeService ""
!insertmacro DeleteTimeService "un."

; Sets the clock for programs that lack the right to (see README): runs as
; LocalService, which holds that right and little else, and starts a while
; after the rest of Windows. An upgrade reconfigures the service that is there.
!define SERVICE_CONFIG 'binPath= "\"$INSTDIR\Veltrano.exe\" /service" obj= "NT AUTHORITY\LocalService" password= "" DisplayName= "Veltrano Time Service"'
!define SERVICE_DESCRIPTION "Sets the clock for Veltrano, which may not: asks a time server of the installed list and changes nothing else."
Function RegisterTimeService
    StrCpy $3 1 ; 0 once sc has set the service to start delayed
    nsExec::Exec '${SC} query ${SERVICE_NAME}'
    Pop $0
    ${If} $0 == 0
        nsExec::ExecToLog '${SC} config ${SERVICE_NAME} ${SERVICE_CONFIG} start= delayed-auto'
        Pop $3
        ${If} $3 != 0
            ; Wine's sc has no config: the service is registered anew instead.
            Call DeleteTimeService
        ${EndIf}
    ${EndIf}
    ${If} $3 != 0
        nsExec::ExecToLog '${SC} create ${SERVICE_NAME} ${SERVICE_CONFIG} start= auto'
        Pop $0
        ${If} $0 != 0
            MessageBox MB_ICONEXCLAMATION "The Veltrano Time Service could not be registered (sc: $0): Veltrano sets the clock only when run as an administrator." /SD IDOK
            SetErrorLevel 2
            Return
        ${EndIf}
        nsExec::ExecToLog '${SC} config ${SERVICE_NAME} start= delayed-auto'
        Pop $3
    ${EndIf}
    nsExec::ExecToLog '${SC} description ${SERVICE_NAME} "${SERVICE_DESCRIPTION}"'
    Pop $0
    ; Where sc knows no delayed-auto (Wine's), the value it would have written.
    ${If} $3 != 0
        WriteRegDWORD HKLM "${SERVICE_KEY}" "DelayedAutostart" 1
    ${EndIf}
    nsExec::ExecToLog '${SC} start ${SERVICE_NAME}'
    Pop $0
FunctionEnd

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
    Call StopTimeService
    Call CloseVeltrano
    Call WaitForFreeExe
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
    Call RegisterTimeService
SectionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

; Takes away what the setup and the program put on the machine; the
; settings of each user (HKCU\Software\Veltrano) stay.
Section "Uninstall"
    Call un.StopTimeService
    Call un.CloseVeltrano
    Call un.WaitForFreeExe
    Call un.DeleteTimeService
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
