; QuonDorvel-Setup.exe: installs the tray program and CorvaneReg.dll for every user of the PC,
; with a Start-menu shortcut, an entry in Add/Remove Programs and inbound firewall rules that
; admit the home network only. installer/CMakeLists.txt runs makensis with
;   -DVERSION=2.1.0.1 -DPROGRAM=QuonDorvel.exe -DHELPER=CorvaneReg.dll -DICON=QuonDorvel.ico
;   -DOUTFILE=QuonDorvel-Setup.exe
; Both the installer and its uninstaller run silently with /S. Exit codes: 0 done; 1 cancelled
; by the user; 2 failed (a file could not be written or removed, or a running QuonDorvel did not
; end); 740 not run by an administrator.

Unicode true
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh

!define PRODUCT "Quon Dorvel"
!define PUBLISHER "Quon"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuonDorvel"
!define SETTINGS_KEY "Software\Quon\Dorvel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define FIREWALL_RULE "Quon Dorvel"
!define EXIT_FAILED 2
!define EXIT_NOT_ADMIN 740  ; ERROR_ELEVATION_REQUIRED
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
; The program stops sharing before it ends: it joins its server's threads, 2 to 4 s here.
!define CLOSE_WAIT_MS 20000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Quon\Dorvel"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
; A file that cannot be written fails the installation, silent or not: see InstallFile.
SetOverwrite try

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(RunNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsSignedInUser
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"
!include /CHARSET=UTF8 "English.nsh"
!include /CHARSET=UTF8 "Korean.nsh"

Var WasRunning

; The pages speak the language the program speaks: Korean exactly when the system's default
; language is Korean as spoken in Korea (0x0412), English otherwise.
!macro ChooseLanguage
  System::Call 'kernel32::GetSystemDefaultLangID() i .r0'
  IntOp $0 $0 & 0xFFFF
  ${If} $0 = 0x0412
    StrCpy $LANGUAGE ${LANG_KOREAN}
  ${Else}
    StrCpy $LANGUAGE ${LANG_ENGLISH}
  ${EndIf}
!macroend

!macro RequireAdministrator text
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "$(${text})" /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
!macroend

!macro Fail text
  SetErrorLevel ${EXIT_FAILED}
  Abort "${text}"
!macroend

; Ends a running QuonDorvel as the maker's installers always have, through CorvaneReg.dll's
; DestroyDorvel, called by its full, quoted path ("Program Files (x86)" holds a parenthesis that
; would end an unquoted one). DestroyDorvel only asks the hidden main window to close, so the
; process is waited for, bounded, before any of its files is touched. A program that does not
; end is reported; the user may end it from its menu and retry. Sets WasRunning.
!macro DefineCloseProgram un
Function ${un}CloseProgram
  StrCpy $WasRunning 0
  ${Do}
    System::Call 'user32::FindWindowW(w "TForm1", w "DorvelMainForm") p .r1'
    ${If} $1 = 0
      Return
    ${EndIf}
    StrCpy $WasRunning 1
    DetailPrint "$(Closing)"
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r3'
    InitPluginsDir
    File "/oname=$PLUGINSDIR\CorvaneReg.dll" "${HELPER}"
    System::Call '"$PLUGINSDIR\CorvaneReg.dll"::DestroyDorvel() i ?u'
    ${If} $3 = 0
      Return  ; no handle to wait on: a file still in use is reported where it is written
    ${EndIf}
    System::Call 'kernel32::WaitForSingleObject(p r3, i ${CLOSE_WAIT_MS}) i .r4'
    System::Call 'kernel32::CloseHandle(p r3)'
    ${If} $4 = ${WAIT_OBJECT_0}
      Return
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(StillRunning)" /SD IDCANCEL IDRETRY`
      !insertmacro Fail "$(StillRunning)"
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro DefineCloseProgram ""
!insertmacro DefineCloseProgram "un."

; A file in use is not skipped: the user may retry, and otherwise (and always when silent) the
; installation fails with its exit code rather than leave an old program beside a new one.
!macro InstallFile source name
  ${Do}
    ClearErrors
    File "/oname=$INSTDIR\${name}" "${source}"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONSTOP "$(CannotWrite)$\r$\n$INSTDIR\${name}" /SD IDCANCEL IDRETRY`
      !insertmacro Fail "$(CannotWrite) $INSTDIR\${name}"
    ${EndIf}
  ${Loop}
!macroend

!macro RemoveFile name
  ClearErrors
  Delete "$INSTDIR\${name}"
  ${If} ${Errors}
    DetailPrint "$(CannotRemove) $INSTDIR\${name}"
    SetErrorLevel ${EXIT_FAILED}
  ${EndIf}
!macroend

; netsh's answer is only told: sharing still works where the firewall service is off, and the
; status window names a blocked port otherwise.
!macro Netsh arguments
  nsExec::Exec '"$SYSDIR\netsh.exe" ${arguments}'
  Pop $0
  ${If} $0 != 0
    DetailPrint `$(FirewallFailed) netsh ${arguments} ($0)`
  ${EndIf}
!macroend

; Players reach the portmapper (111), NFS (2049) and MOUNT (1058) over UDP and TCP. The rules
; admit the local subnet only, so a PC with a public address never serves its folders beyond the
; home network. Windows XP has only the older firewall context, whose openings are per port and
; are deleted by port.
!macro ForEachPort macro
  !insertmacro ${macro} 111
  !insertmacro ${macro} 2049
  !insertmacro ${macro} 1058
!macroend

!macro XpClosePort port
  nsExec::Exec '"$SYSDIR\netsh.exe" firewall delete portopening protocol=ALL port=${port} profile=ALL'
  Pop $0
!macroend

!macro XpOpenPort port
  !insertmacro Netsh 'firewall add portopening protocol=ALL port=${port} name="${FIREWALL_RULE} ${port}" mode=ENABLE scope=SUBNET profile=ALL'
!macroend

!macro VistaOpen protocol
  !insertmacro Netsh 'advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow program="$INSTDIR\QuonDorvel.exe" protocol=${protocol} localport=111,2049,1058 remoteip=localsubnet'
!macroend

!macro DefineCloseFirewall un
Function ${un}CloseFirewall
  ${If} ${AtLeastWinVista}
    nsExec::Exec '"$SYSDIR\netsh.exe" advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    Pop $0  ; none there yet is no failure
  ${Else}
    !insertmacro ForEachPort XpClosePort
  ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineCloseFirewall ""
!insertmacro DefineCloseFirewall "un."

Function OpenFirewall
  Call CloseFirewall
  ${If} ${AtLeastWinVista}
    !insertmacro VistaOpen TCP
    !insertmacro VistaOpen UDP
  ${Else}
    !insertmacro ForEachPort XpOpenPort
  ${EndIf}
FunctionEnd

; The installer runs elevated, and a program it started would be too: a copy the user starts
; later could then not even open its single-instance mutex. The shell runs as the signed-in user
; and starts what it is handed as that user.
Function RunAsSignedInUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\QuonDorvel.exe"'
FunctionEnd

Function WriteUninstallEntry
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\QuonDorvel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
FunctionEnd

Function .onInit
  !insertmacro ChooseLanguage
  !insertmacro RequireAdministrator NeedsAdministrator
FunctionEnd

; The program reads "SetupDir" to write its auto-run command; the user's own settings beside it
; are kept from an earlier installation.
Section "-Program"
  Call CloseProgram
  SetOutPath "$INSTDIR"
  !insertmacro InstallFile "${PROGRAM}" "QuonDorvel.exe"
  !insertmacro InstallFile "${HELPER}" "CorvaneReg.dll"
  ClearErrors
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ${If} ${Errors}
    !insertmacro Fail "$(CannotWrite) $INSTDIR\Uninstall.exe"
  ${EndIf}
  SetShellVarContext all
  CreateShortcut "${SHORTCUT}" "$INSTDIR\QuonDorvel.exe"
  WriteRegStr HKCU "${SETTINGS_KEY}" "SetupDir" "$INSTDIR"
  Call WriteUninstallEntry
  Call OpenFirewall
SectionEnd

; An update over a running program brings it back; the finish page asks when not silent.
Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $WasRunning = 1
    Call RunAsSignedInUser
  ${EndIf}
FunctionEnd

; A failed update leaves the program as it found it: running, if it was and is not still.
Function .onInstFailed
  System::Call 'user32::FindWindowW(w "TForm1", w "DorvelMainForm") p .r1'
  ${If} $WasRunning = 1
  ${AndIf} $1 = 0
  ${AndIf} ${FileExists} "$INSTDIR\QuonDorvel.exe"
    Call RunAsSignedInUser
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro ChooseLanguage
  !insertmacro RequireAdministrator NeedsAdministratorToRemove
FunctionEnd

; An auto-run command would name a program that is gone, and "SetupDir" a folder that is.
Section "-un.Program"
  Call un.CloseProgram
  Call un.CloseFirewall
  SetShellVarContext all
  Delete "${SHORTCUT}"
  !insertmacro RemoveFile "QuonDorvel.exe"
  !insertmacro RemoveFile "CorvaneReg.dll"
  !insertmacro RemoveFile "Uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES\Quon"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${SETTINGS_KEY}" "SetupDir"
  DeleteRegValue HKCU "${RUN_KEY}" "QuonDorvel"
SectionEnd

; Not chosen unless the user ticks it: the share folders survive an uninstallation.
Section /o "un.$(SettingsSection)"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Quon"
SectionEnd
