; VardeenSetup.exe: puts the console into a folder of its own, with Start menu entries, an
; Add/Remove Programs entry and, when chosen, the start with Windows that the options page sets.
;   makensis -DBIN=<build bin folder> -DSOURCE=<repository> -DPLUGINS=<plugin folder> -DOUTFILE=<exe>
; ANSI, so that it runs wherever the console runs (Windows 98 SE, NT 4.0). Every Chinese text is
; a LangString (or a version key of that language): makensis stores those in the language's
; code page (936, GBK); a Chinese literal anywhere else would be stored as question marks.
; Plugins: System (the console's single-instance mark) and nsDialogs (the finish page), packed
; from PLUGINS, where the build put the copies whose imports the tests check.
; The filter driver is the vendor's and is installed by the vendor's own setup; this one never
; touches it.

Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin
!addplugindir /x86-ansi "${PLUGINS}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

; The version is read from the console's own version resource.
!getdllversion "${BIN}/Vardeen.exe" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vardeen"
!define SETTINGS_KEY "SOFTWARE\Harlune\Qelt"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "QELT"
!define INSTANCE_MARK "QELT 6.22"  ; the named mutex a running console holds
!define EXIT_CONSOLE_RUNS 2

Name "Vardeen"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Vardeen"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "Vardeen ${VERSION}"

!define MUI_ICON "${SOURCE}/res/vardeen.ico"
!define MUI_UNICON "${SOURCE}/res/vardeen.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vardeen.exe"
!define MUI_FINISHPAGE_TEXT "$(FINISH_TEXT)"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

!define DISPLAY_NAME "Vardeen 个人防火墙"
LangString DISPLAY_NAME ${LANG_SIMPCHINESE} "${DISPLAY_NAME}"
LangString SEC_CONSOLE ${LANG_SIMPCHINESE} "Vardeen 控制台"
LangString SEC_AUTOSTART ${LANG_SIMPCHINESE} "随 Windows 启动"
LangString LNK_UNINSTALL ${LANG_SIMPCHINESE} "卸载 Vardeen"
LangString MSG_RUNNING ${LANG_SIMPCHINESE} "Vardeen 正在运行。请先退出控制台(托盘菜单中的“退出”),然后点击“重试”。"
LangString FINISH_TEXT ${LANG_SIMPCHINESE} "Vardeen 已安装到您的计算机。$\r$\n$\r$\n过滤驱动程序 RkFw 由其厂商的安装程序安装(服务 RkFw_slot),不在本安装程序中。"
LangString UNSEC_USERFILES ${LANG_SIMPCHINESE} "同时删除我的规则文件、应用程序审核规则、日志和设置"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "Harlune"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Vardeen"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${DISPLAY_NAME}"  ; stored in the language's code page
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "OriginalFilename" "VardeenSetup.exe"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright (C) Harlune"

; Files cannot be replaced or removed under a running console: the user is asked to end it
; first; a silent run ends with exit code 2 and changes nothing.
!macro REFUSE_WHILE_RUNNING un
Function ${un}RefuseWhileRunning
  retry:
  System::Call 'kernel32::OpenMutexA(i 0x00100000, i 0, t "${INSTANCE_MARK}") i .r0'
  ${If} $0 <> 0
    System::Call 'kernel32::CloseHandle(i r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(MSG_RUNNING)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${EXIT_CONSOLE_RUNS}
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

Section "$(SEC_CONSOLE)" SecConsole
  SectionIn RO
  Call RefuseWhileRunning  ; it may have been started while the pages were shown
  SetOutPath "$INSTDIR"
  File "${BIN}/Vardeen.exe"
  File "${BIN}/QeltUtil.DLL"
  File "${BIN}/hsec.rul"
  File "${BIN}/msec.rul"
  File "${BIN}/lsec.rul"
  ; The custom level is the user's once it exists (the rule set page saves it); app.aud, the
  ; other rule files, the log folder and the settings key are never shipped, so an upgrade
  ; keeps them as they are.
  SetOverwrite off
  File "${BIN}/csec.rul"
  SetOverwrite on
  SetOutPath "$INSTDIR\res"
  File "${BIN}/res/enable.bmp"
  File "${BIN}/res/disable.bmp"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Vardeen"
  CreateShortCut "$SMPROGRAMS\Vardeen\Vardeen.lnk" "$INSTDIR\Vardeen.exe"
  CreateShortCut "$SMPROGRAMS\Vardeen\$(LNK_UNINSTALL).lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "$(DISPLAY_NAME)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Harlune"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vardeen.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The same two values the options page writes: the Run entry holds the program's full path,
; quoted so that a folder with blanks is not cut at logon.
Section /o "$(SEC_AUTOSTART)" SecAutoStart
  WriteRegDWORD HKLM "${SETTINGS_KEY}" "LOADATSTART" 1
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Vardeen.exe"'
SectionEnd

Section "-AutoStartOff"
  ${IfNot} ${SectionIsSelected} ${SecAutoStart}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    Call ClearLoadAtStart
  ${EndIf}
SectionEnd

!macro CLEAR_LOAD_AT_START un
; LOADATSTART goes to 0 only where it is set: a fresh machine gets no settings key from here.
Function ${un}ClearLoadAtStart
  ClearErrors
  ReadRegDWORD $0 HKLM "${SETTINGS_KEY}" "LOADATSTART"
  ${IfNot} ${Errors}
  ${AndIf} $0 <> 0
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "LOADATSTART" 0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CLEAR_LOAD_AT_START ""
!insertmacro CLEAR_LOAD_AT_START "un."

; /AUTOSTART=1 or /AUTOSTART=0 chooses on the command line (a silent install); without it the
; box starts as the installed console's setting stands.
Function .onInit
  Call RefuseWhileRunning
  ClearErrors
  ReadRegDWORD $0 HKLM "${SETTINGS_KEY}" "LOADATSTART"
  ${IfNot} ${Errors}
  ${AndIf} $0 <> 0
    !insertmacro SelectSection ${SecAutoStart}
  ${EndIf}
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/AUTOSTART=" $2
  ${IfNot} ${Errors}
    ${If} $2 == 1
      !insertmacro SelectSection ${SecAutoStart}
    ${Else}
      !insertmacro UnselectSection ${SecAutoStart}
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "-un.Program"
  Call un.RefuseWhileRunning
  Delete "$INSTDIR\Vardeen.exe"
  Delete "$INSTDIR\QeltUtil.DLL"
  Delete "$INSTDIR\hsec.rul"
  Delete "$INSTDIR\msec.rul"
  Delete "$INSTDIR\lsec.rul"
  Delete "$INSTDIR\res\enable.bmp"
  Delete "$INSTDIR\res\disable.bmp"
  RMDir "$INSTDIR\res"
  Delete "$INSTDIR\Uninstall.exe"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vardeen\Vardeen.lnk"
  Delete "$SMPROGRAMS\Vardeen\$(LNK_UNINSTALL).lnk"
  RMDir "$SMPROGRAMS\Vardeen"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  Call un.ClearLoadAtStart
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; Unticked, the user's rule sets, app.aud, the logs and the settings stay for a later install.
Section /o "un.$(UNSEC_USERFILES)" UnSecUserFiles
  Delete "$INSTDIR\app.aud"
  Delete "$INSTDIR\app.aud.*"
  Delete "$INSTDIR\*.rul"
  Delete "$INSTDIR\*.rul.*"
  ; Only the day files the console writes, in the folder it writes them to.
  ClearErrors
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "LOGPATH"
  ${If} ${Errors}
  ${OrIf} $0 == ""
    StrCpy $0 "$INSTDIR\QELTLog"
  ${EndIf}
  Delete "$0\QELT-*.log"
  RMDir "$0"
  Delete "$INSTDIR\QELTLog\QELT-*.log"
  RMDir "$INSTDIR\QELTLog"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
SectionEnd

Section "-un.Folder"
  RMDir "$INSTDIR"  ; only when empty: what the user keeps stays in it
SectionEnd

; /REMOVEUSERFILES ticks the box on the command line (a silent uninstall).
Function un.onInit
  Call un.RefuseWhileRunning
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/REMOVEUSERFILES" $2
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecUserFiles}
  ${EndIf}
FunctionEnd
