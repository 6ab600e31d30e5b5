; Veltrano's setup for all users of a computer. Built by scripts/package.sh:
;   makensis -DVERSION=x.y.z -DBIN=<folder of Veltrano.exe> -DOUTFILE=<setup.exe> Veltrano.nsi
; The version comes from project(VERSION) in CMakeLists.txt, by way of that script.
; -DSIGN_UNINSTALLER=<command>: run with the uninstaller's path, to sign it before it is packed.

; A 64-bit program gets a 64-bit setup: it sees the 64-bit Program Files and registry.
Target amd64-unicode
SetCompressor /SOLID lzma

!ifdef SIGN_UNINSTALLER
    !uninstfinalize '${SIGN_UNINSTALLER} "%1"' = 0
!endif

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
; Where the service publishes its pipe's name (kServiceKey), and its events' source.
!define VELTRANO_KEY "SOFTWARE\Veltrano"
!define TIME_SERVICE_KEY "${VELTRANO_KEY}\TimeService"
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Veltrano"
; HKEY_LOCAL_MACHINE as a 64-bit process passes it: sign-extended.
!define HKLM_HANDLE 0xFFFFFFFF80000002

; Who may change the program's folder, whichever folder it is (/D=, the
; directory page, an earlier install's): the service runs the exe in it as
; LocalService and asks the servers of its list, and the autorun entry
; starts the exe for every user. Administrators and SYSTEM full control,
; users read and execute, inherited by every file; protected, so that a
; parent folder that users may write lends them nothing. Owned by the
; administrators, since an owner may always rewrite the list.
!define FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
; A file inside: the same owner, and only what it inherits from the folder.
!define FILE_SDDL "O:BAD:"
; SECURITY_INFORMATION: owner and access list, the list protected or not.
!define SET_PROTECTED 0x80000005
!define SET_INHERITED 0x20000005
; The service's pipe name: SYSTEM and administrators full control, the
; service's account LocalService reads and sets values
; (KEY_READ | KEY_SET_VALUE), users read. Nobody else can point the program
; at a pipe of their own.
!define TIME_SERVICE_KEY_SDDL "O:BAD:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;0x2001b;;;LS)(A;CI;KR;;;BU)"

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
    Call SetFailureActions
    ; Where sc knows no delayed-auto (Wine's), the value it would have written.
    ${If} $3 != 0
        WriteRegDWORD HKLM "${SERVICE_KEY}" "DelayedAutostart" 1
    ${EndIf}
    nsExec::ExecToLog '${SC} start ${SERVICE_NAME}'
    Pop $0
FunctionEnd

; Gives the file or folder $0 the owner and access list of the SDDL $1, as
; the SECURITY_INFORMATION $2 says. $0 afterwards: 0, or Windows' error.
Function SetFileSecurity
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r1, i 1, *p .r3, p 0) i .r4'
    ${If} $4 = 0
        StrCpy $0 1338 ; ERROR_INVALID_SECURITY_DESCR
        Return
    ${EndIf}
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r3, *p .r5, *i .r6)'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r3, *i .r6, *p .r7, *i .r6)'
    ; SE_FILE_OBJECT. On a folder, Windows passes the list on to what is inside.
    System::Call 'advapi32::SetNamedSecurityInfoW(w r0, i 1, i r2, p r5, p 0, p r7, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r3)'
FunctionEnd

; The folder's access list is replaced, and Windows passes it on to all
; that the folder holds: never that of a folder with things of its own in
; it, such as a Desktop or Program Files itself. Empty, missing or holding
; Veltrano.exe is fine. Leaves 1 on the stack for another's folder, else 0.
Function ForeignFolder
    Push 0
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
    ${OrIf} ${FileExists} "$INSTDIR\Veltrano.exe"
        Return
    ${EndIf}
    FindFirst $0 $1 "$INSTDIR\*.*"
    ${DoWhile} $1 != ""
        ${If} $1 != "."
        ${AndIf} $1 != ".."
            Pop $1
            Push 1
            ${Break}
        ${EndIf}
        FindNext $0 $1
    ${Loop}
    FindClose $0
FunctionEnd

Function .onVerifyInstDir
    Call ForeignFolder
    Pop $0
    ${If} $0 = 1
        Abort
    ${EndIf}
FunctionEnd

; Before any file lands in it. A failure leaves the program working, but
; the service refuses to run from a folder that others may change.
Function ProtectInstallFolder
    StrCpy $0 "$INSTDIR"
    StrCpy $1 "${FOLDER_SDDL}"
    StrCpy $2 ${SET_PROTECTED}
    Call SetFileSecurity
    ${If} $0 != 0
        DetailPrint "The access list of $INSTDIR could not be set (error $0)."
        MessageBox MB_ICONEXCLAMATION "Only administrators should be able to change $INSTDIR, but its access list could not be set (error $0): the Veltrano Time Service will not run from it." /SD IDOK
        SetErrorLevel 2
        Return
    ${EndIf}
    DetailPrint "Access to $INSTDIR: administrators and SYSTEM full control, users read and execute."
FunctionEnd

; A file kept from an earlier install, or written by someone while the
; folder was open, may carry entries of its own: each file of the setup
; keeps only what it inherits.
!macro ResetFileSecurity file
    ${If} ${FileExists} "$INSTDIR\${file}"
        StrCpy $0 "$INSTDIR\${file}"
        StrCpy $1 "${FILE_SDDL}"
        StrCpy $2 ${SET_INHERITED}
        Call SetFileSecurity
        ${If} $0 != 0
            DetailPrint "The access list of $INSTDIR\${file} could not be set (error $0)."
            SetErrorLevel 2
        ${EndIf}
    ${EndIf}
!macroend

; Made before the service first starts, which writes the value Pipe there.
Function CreateTimeServiceKey
    ; KEY_WOW64_64KEY | WRITE_DAC | WRITE_OWNER
    System::Call 'advapi32::RegCreateKeyExW(p ${HKLM_HANDLE}, w "${TIME_SERVICE_KEY}", i 0, p 0, i 0, i 0xC0100, p 0, *p .r1, p 0) i .r0'
    ${If} $0 = 0
        System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${TIME_SERVICE_KEY_SDDL}", i 1, *p .r2, p 0) i .r3'
        ; Owner and list; the list's protection comes with the descriptor.
        System::Call 'advapi32::RegSetKeySecurity(p r1, i 5, p r2) i .r0'
        System::Call 'kernel32::LocalFree(p r2)'
        System::Call 'advapi32::RegCloseKey(p r1)'
    ${EndIf}
    ${If} $0 != 0
        DetailPrint "HKLM\${TIME_SERVICE_KEY} could not be made (error $0)."
        SetErrorLevel 2
    ${EndIf}
FunctionEnd

; After a crash the service starts again after 5 s, 5 s, then a minute,
; counted afresh after a day without one. A service that stops refusing to
; run is no crash and stays stopped.
!define FAILURE_ACTIONS "reset= 86400 actions= restart/5000/restart/5000/restart/60000"
; The same as Windows keeps them: reset period, two unused pointers, the
; count, where the actions start, then type (1 restart) and delay in ms.
!define FAILURE_ACTIONS_VALUE "8051010000000000000000000300000014000000010000008813000001000000881300000100000060ea0000"
Function SetFailureActions
    nsExec::ExecToLog '${SC} failure ${SERVICE_NAME} ${FAILURE_ACTIONS}'
    Pop $0
    ; Wine's sc and service manager accept them and keep nothing.
    StrCpy $1 0
    ${Do}
        EnumRegValue $2 HKLM "${SERVICE_KEY}" $1
        ${If} $2 == "FailureActions"
            Return
        ${EndIf}
        IntOp $1 $1 + 1
    ${LoopUntil} $2 == ""
    WriteRegBin HKLM "${SERVICE_KEY}" "FailureActions" ${FAILURE_ACTIONS_VALUE}
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
    ; The directory page lets no such folder through; /D= may name one.
    Call ForeignFolder
    Pop $0
    ${If} $0 = 1
        MessageBox MB_ICONSTOP "$INSTDIR holds files of its own: choose an empty folder for Veltrano." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Call StopTimeService
    Call CloseVeltrano
    Call WaitForFreeExe
    SetOutPath "$INSTDIR"
    Call ProtectInstallFolder
    File "${BIN}/Veltrano.exe"
    File "${BIN}/veltrano-help.html"
    File "${BIN}/THIRD-PARTY-NOTICES.txt"
    ; The server list is the user's: one already there stays as it is, and
    ; the list of this version lies beside it.
    ${If} ${FileExists} "$INSTDIR\ntp_servers.txt"
        File "/oname=ntp_servers.new.txt" "${BIN}/ntp_servers.txt"
    ${Else}
        File "${BIN}/ntp_servers.txt"
    ${EndIf}
    WriteUninstaller "$INSTDIR\uninstall.exe"
    !insertmacro ResetFileSecurity "Veltrano.exe"
    !insertmacro ResetFileSecurity "veltrano-help.html"
    !insertmacro ResetFileSecurity "THIRD-PARTY-NOTICES.txt"
    !insertmacro ResetFileSecurity "ntp_servers.txt"
    !insertmacro ResetFileSecurity "ntp_servers.new.txt"
    !insertmacro ResetFileSecurity "uninstall.exe"
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
    ; The service's messages in the Application log are in the exe.
    WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\Veltrano.exe"
    WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
    Call CreateTimeServiceKey
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
    Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
    Delete "$INSTDIR\ntp_servers.txt"
    Delete "$INSTDIR\ntp_servers.new.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Veltrano.lnk"
    DeleteRegValue HKLM "${RUN_KEY}" "${AUTORUN_VALUE}"
    ; Only the uninstalling user's: other users' keys are not loaded.
    DeleteRegValue HKCU "${RUN_KEY}" "${AUTORUN_VALUE}"
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
    DeleteRegKey HKLM "${VELTRANO_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
