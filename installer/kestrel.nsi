; Kestrel's installer and uninstaller.
;
; A lock that is gone after the next reboot locks nothing: the installer puts kestrel.exe into Program Files,
; installs and starts Kestrel Guard, the service (kestrel-guard.exe, service KestrelGuard) that starts Kestrel in
; every signed-in session and again whenever it is ended without its password, and enters an uninstaller in the
; system's list of installed programs. With /NOGUARD the guard is left out, and every user's logon starts Kestrel
; through the machine-wide Run key instead. Built by the windows build (cmake/installer.cmake):
;
;   makensis -V2 -DVERSION=2.0.2 -DEXE=/path/to/kestrel.exe -DGUARD=/path/to/kestrel-guard.exe
;            -DOUTFILE=/path/to/kestrel-setup-2.0.2.exe kestrel.nsi
;
; With -DSIGN=<command> (the build passes its signing command when it signs) makensis runs "<command> <file>" on
; the uninstaller before packing it and on the finished installer, so that both carry a signature: the uninstaller
; that Windows runs from the list of installed programs is the one written at install time, not the installer.
;
; Both halves run silently with /S: the installer then asks for no password and starts Kestrel only through the
; guard (without the guard it starts at the next logon), and the uninstaller keeps the stored password, settings
; and locked items.

Unicode true
Target amd64-unicode

!ifndef VERSION
    !error "pass the program's version: -DVERSION=x.y.z"
!endif
!ifndef EXE
    !error "pass the path of the built program: -DEXE=.../kestrel.exe"
!endif
!ifndef GUARD
    !error "pass the path of the built guard: -DGUARD=.../kestrel-guard.exe"
!endif
!ifndef OUTFILE
    !define OUTFILE "kestrel-setup-${VERSION}.exe"
!endif
!ifdef SIGN
    ; system() returns the exit status shifted left, but 0 stays 0: anything else ends the build.
    !uninstfinalize '${SIGN} "%1"' = 0
    !finalize '${SIGN} "%1"' = 0
!endif

!define PRODUCT "Kestrel"
!define PUBLISHER "ORV"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrel"
; What the program itself stores: the "Settings" and "Locked Items" keys below this one, in the 32-bit view of
; the registry (where the earlier 32-bit releases and the 32-bit companion program keep them).
!define STORE_KEY "Software\ORV\Kestrel"
!define VENDOR_KEY "Software\ORV"
; Kestrel reports to the Application log under this source; the sentences are in kestrel.exe's message table.
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Kestrel"
; The running program's hidden main window (class and caption), by which we wait for it to be gone.
!define MAIN_WINDOW_CLASS "KestrelMainWindow"
; The guard's service, as kestrel-guard.exe installs it.
!define GUARD_SERVICE "KestrelGuard"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The program writes under HKLM and HKCR, and the Run and Uninstall keys are machine-wide.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\Kestrel"
; A reinstall goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails hide
ShowUninstDetails hide

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!define MUI_ICON "../res/kestrel.ico"
!define MUI_UNICON "../res/kestrel.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The end of an interactive install starts the lock at once instead of at the next logon. The finish page
; is not shown in silent mode, so a silent install starts nothing.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartAsLoggedOnUser
; With the guard Kestrel runs already (the guard started it): the offer is taken off the page.
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; 1 when the installer leaves the guard out (/NOGUARD), 0 when it installs it.
Var NoGuard

; Stops the guard and takes its service away, ending every copy of Kestrel it kept (the guard may end them; an
; administrator's taskkill may not, since the guard protects its copies): before files are replaced or removed.
!macro DEFINE_REMOVE_GUARD un
Function ${un}RemoveGuard
    ${If} ${FileExists} "$INSTDIR\kestrel-guard.exe"
        ExecWait '"$INSTDIR\kestrel-guard.exe" /uninstall' $0
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DEFINE_REMOVE_GUARD ""
!insertmacro DEFINE_REMOVE_GUARD "un."

; Ends every running Kestrel. Its own way out, Exit in its tray menu, is behind the password, which an
; uninstaller cannot give; and a plain close request (WM_CLOSE, or taskkill without /F) is answered by starting
; the product family's companion program. So the processes are ended outright. taskkill reaches the copies
; of every logged-on user (each user's logon starts one), which a window search on this desktop would not.
!macro DEFINE_STOP_KESTREL un
Function ${un}StopKestrel
    nsExec::Exec '"$SYSDIR\taskkill.exe" /F /IM kestrel.exe'
    Pop $0 ; 0: ended some, 128: none was running; either way we wait below
    ; Ending is asynchronous: wait (at most 5 s) until this desktop's copy has no main window left, so that
    ; its file can be replaced or deleted.
    StrCpy $1 0
    ${Do}
        FindWindow $0 "${MAIN_WINDOW_CLASS}"
        ${If} $0 == 0
            ${ExitDo}
        ${EndIf}
        IntOp $1 $1 + 1
        ${If} $1 > 50
            ${ExitDo}
        ${EndIf}
        Sleep 100
    ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_STOP_KESTREL ""
!insertmacro DEFINE_STOP_KESTREL "un."

; No machine should leave the wizard with the default password, which Kestrel's password prompt shows to whoever sits
; at it. kestrel.exe asks for a new one with its own Set Password dialog and stores its hash itself, elevated as
; the installer is (the password never passes on a command line). Its exit code: 0 stored, 1 cancelled, 2 a password
; other than the default is stored already (a reinstall, an upgrade: nothing is asked), 3 not stored (it has said
; so). After a cancel the wizard asks whether to try again, so that a slip does not leave the default in force.
Function SetPassword
    retry:
        ExecWait '"$INSTDIR\kestrel.exe" /setpassword' $0
        ${If} $0 == 1
            MessageBox MB_YESNO|MB_ICONEXCLAMATION \
                "${PRODUCT}'s password is still the default one, which its password prompt shows to anyone.$\r$\n$\r$\nSet a password now?" \
                /SD IDNO IDYES retry
        ${EndIf}
FunctionEnd

; Started by the installer itself, Kestrel would inherit its elevation: it would then write the machine-wide
; settings for whoever sits at the desktop without Windows asking for an administrator, and, since Windows keeps
; the shell's "TaskbarCreated" from elevated programs, lose its tray icon when Explorer restarts. The user's
; shell starts it as the logged-on user, as a logon does.
Function StartAsLoggedOnUser
    ${If} $NoGuard == 1
        Exec '"$WINDIR\explorer.exe" "$INSTDIR\kestrel.exe"'
    ${EndIf}
FunctionEnd

Function FinishPageShow
    ${If} $NoGuard == 0
        ShowWindow $mui.FinishPage.Run ${SW_HIDE}
        SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ${EndIf}
FunctionEnd

Function .onInit
    SetRegView 64
    SetShellVarContext all
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} can only be installed by an administrator." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOGUARD" $1
    ${If} ${Errors}
        StrCpy $NoGuard 0
    ${Else}
        StrCpy $NoGuard 1
    ${EndIf}
FunctionEnd

Section "${PRODUCT}" SecMain
    SectionIn RO
    ; A copy that runs (an upgrade, a repair) holds its file open; an earlier guard would start it again.
    Call RemoveGuard
    Call StopKestrel

    SetOutPath "$INSTDIR"
    SetOverwrite on
    File "/oname=kestrel.exe" "${EXE}"
    ${If} $NoGuard == 0
        File "/oname=kestrel-guard.exe" "${GUARD}"
    ${Else}
        Delete "$INSTDIR\kestrel-guard.exe"
    ${EndIf}
    ; The user's guide with its pictures, which the Help button opens.
    File "../docs/guide/kestrel-guide.html"
    SetOutPath "$INSTDIR\kestrel-guide"
    File "../docs/guide/kestrel-guide/*.png"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Event Viewer shows Kestrel's and the guard's events as sentences only with the source registered. 7: errors,
    ; warnings and information.
    WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\kestrel.exe"
    WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7

    ; The guard starts the lock in every session, at once and at every sign-in; a Run entry beside it would start a
    ; second copy at each sign-in. Should the service not install, the Run entry does what it can.
    ${If} $NoGuard == 0
        ExecWait '"$INSTDIR\kestrel-guard.exe" /install' $0
        ${If} $0 != 0
            MessageBox MB_ICONEXCLAMATION|MB_OK "Kestrel Guard could not be installed (error $0): Kestrel will start at each logon, but a user can end it." /SD IDOK
            StrCpy $NoGuard 1
        ${EndIf}
    ${EndIf}
    ${If} $NoGuard == 1
        WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\kestrel.exe"'
    ${Else}
        DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrel.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; The list of installed programs shows this size, in KB.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

    ; Last, with everything in place. A silent install leaves the password to the administrator who deploys it
    ; (kestrel.exe /hash, docs/deploying.md).
    ${IfNot} ${Silent}
        Call SetPassword
    ${EndIf}
SectionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Uninstall"
    ; Without this the running lock would hold kestrel.exe open and go on locking after the uninstall, and the guard
    ; would start it again.
    Call un.RemoveGuard
    Call un.StopKestrel

    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    ; The events already in the log stay; without the source they show no sentences.
    DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
    Delete /REBOOTOK "$INSTDIR\kestrel.exe"
    Delete /REBOOTOK "$INSTDIR\kestrel-guard.exe"
    Delete "$INSTDIR\kestrel-guide.html"
    Delete "$INSTDIR\kestrel-guide\*.png"
    RMDir "$INSTDIR\kestrel-guide"
    Delete "$INSTDIR\uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"

    ; The password, the options and the locked items are what a parent set up; a reinstall finds them again
    ; unless they are deleted here. A silent uninstall keeps them.
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Also delete ${PRODUCT}'s password, settings and locked items?$\r$\n$\r$\nChoose No to keep them for a later reinstall." \
        /SD IDNO IDNO keepStore
        SetRegView 32
        DeleteRegKey HKLM "${STORE_KEY}"
        DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
        SetRegView 64
    keepStore:

    ; The file-type association (".loc" -> "ORV.Document" under HKCR) is left in place: it belongs to the ORV
    ; product family and opens the family's own program, which other programs of the family still use; Kestrel
    ; only rewrites it at each start.

    ; Last, so that a script waiting for this key to go knows that everything before it is done.
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
