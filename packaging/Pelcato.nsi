; The Pelcato plug-in's installer, made by `make package`. It puts the
; plug-in, its wrapper, the remote's companion PelcatoRemote and the guide
; into the folder the user picks, which is the host application's plug-in
; folder, and our key maps and settings file only where the user has none of
; that name yet.
;
; It refuses Windows older than Vista, the oldest on which the binaries load.
;
; The uninstaller removes the program files and the key maps it installed
; that are still as it left them. The settings file stays, and so does every
; key map that was there before or that the user has changed since: those
; are the user's. The record of what it installed lies beside it.
;
; Defined by the build: VERSION, PRODUCT, STAGE (the files), FILES (their
; lists), ICON, OUTFILE.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; A file that cannot be written fails the install instead of being skipped.
AllowSkipFiles off

!include LogicLib.nsh
!include WinVer.nsh
!include "${FILES}"

!define UNINSTALLER "Uninstall-Pelcato.exe"
!define RECORD "Uninstall-Pelcato.ini"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelcato"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES\Pelcato"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

; Like the DLLs' own version resources, it carries no legal notice.
!pragma warning disable 9100
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"

DirText "Choose the host application's plug-in folder, where its other plug-ins lie. \
Pelcato.dll and pltremotewrap.dll go there; a settings file or key map you already have there stays as it is."

Page directory
Page instfiles

; The binaries import GetTickCount64 and CreateWaitableTimerExW, which came
; with Vista: on older Windows the host could not load the plug-in and the
; companion program would not start. Say so before anything is written,
; rather than install files that cannot run. A silent install shows no box
; and ends with error level 2, "aborted by the script".
Function .onInit
    ${IfNot} ${AtLeastWinVista}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs Windows Vista or later. This Windows is older, so nothing was installed." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd
UninstPage uninstConfirm
UninstPage instfiles

; A file's size and last write time, or "" when it cannot be read: a key map
; whose fingerprint is still the one recorded at install is as installed.
!macro FINGERPRINT_FUNCTION PREFIX
Function ${PREFIX}Fingerprint
    Exch $0
    Push $1
    Push $2
    Push $3
    ClearErrors
    GetFileTime $0 $1 $2
    FileOpen $3 $0 r
    ${If} ${Errors}
        StrCpy $0 ""
    ${Else}
        FileSeek $3 0 END $0
        FileClose $3
        StrCpy $0 "$0 $1 $2"
    ${EndIf}
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro FINGERPRINT_FUNCTION ""
!insertmacro FINGERPRINT_FUNCTION "un."

!macro INSTALL_PROGRAM FILE
    File "${STAGE}/${FILE}"
!macroend

!macro INSTALL_KEY_MAP FILE
    ${IfNot} ${FileExists} "$INSTDIR\${FILE}"
        File "${STAGE}/${FILE}"
        Push "$INSTDIR\${FILE}"
        Call Fingerprint
        Pop $0
        WriteINIStr "$INSTDIR\${RECORD}" "Installed" "${FILE}" "$0"
    ${Else}
        DetailPrint "Kept your ${FILE}"
    ${EndIf}
!macroend

; A file that stays in use (the host has the plug-in loaded) stops the
; uninstall before anything else is removed, with the reason.
!macro REMOVE_PROGRAM FILE
    ClearErrors
    Delete "$INSTDIR\${FILE}"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "${FILE} is in use. Close the host application, then uninstall again." /SD IDOK
        Abort "${FILE} is in use"
    ${EndIf}
!macroend

!macro REMOVE_KEY_MAP FILE
    ReadINIStr $0 "$INSTDIR\${RECORD}" "Installed" "${FILE}"
    Push "$INSTDIR\${FILE}"
    Call un.Fingerprint
    Pop $1
    ${If} $0 != ""
    ${AndIf} $0 == $1
        Delete "$INSTDIR\${FILE}"
    ${ElseIf} ${FileExists} "$INSTDIR\${FILE}"
        DetailPrint "Kept ${FILE}: it was there before, or you have changed it"
    ${EndIf}
!macroend

Section "Pelcato"
    SetOutPath "$INSTDIR"
    !insertmacro PELCATO_PROGRAMS INSTALL_PROGRAM
    !insertmacro PELCATO_KEY_MAPS INSTALL_KEY_MAP
    ${IfNot} ${FileExists} "$INSTDIR\${PELCATO_SETTINGS}"
        File "${STAGE}/${PELCATO_SETTINGS}"
    ${Else}
        DetailPrint "Kept your ${PELCATO_SETTINGS}"
    ${EndIf}
    FlushINI "$INSTDIR\${RECORD}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    !insertmacro PELCATO_PROGRAMS REMOVE_PROGRAM
    !insertmacro PELCATO_KEY_MAPS REMOVE_KEY_MAP
    DetailPrint "Kept ${PELCATO_SETTINGS}, your settings"
    Delete "$INSTDIR\${RECORD}"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Never with /r: this is the host's plug-in folder. It goes only when
    ; nothing of the user's or of other plug-ins is left in it.
    RMDir "$INSTDIR"
    ; The entry in the list of programs belongs to the latest install, which
    ; may be in another folder.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
