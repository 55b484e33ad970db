; The Pelcato plug-in's installer, made by `make package`. It puts the
; plug-in, its wrapper, the remote's companion PelcatoRemote and the guide
; into the folder the user picks, which must be the host application's
; plug-in folder, and our key maps and settings file only where the user has
; none of that name yet. A key map that an earlier install put there and
; that is still as installed is ours, and is updated.
;
; Interactively it asks before installing into a folder with no other
; plug-in in it, and before putting an older version over a newer one. A
; silent install asks nothing: into any folder, as told, but never over a
; newer version unless /DOWNGRADE comes before /D= (error level 2 instead).
;
; It refuses Windows older than Vista, the oldest on which the binaries load.
;
; The uninstaller removes the program files and the key maps it installed
; that are still as it left them. The settings file stays, and so does every
; key map that was there before or that the user has changed since: those
; are the user's. The record of what it installed lies beside it. When a
; program file is in use it removes nothing (error level 2).
;
; What each run did to the user's files also goes to a log in %TEMP%,
; Pelcato-setup.log or Pelcato-uninstall.log, which a silent run leaves as
; its only account.
;
; Defined by the build: VERSION, PRODUCT, PUBLISHER, STAGE (the files), FILES
; (their lists), ICON, OUTFILE.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
; A file that cannot be written fails the install instead of being skipped.
AllowSkipFiles off

!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include "${FILES}"

!define UNINSTALLER "Uninstall-Pelcato.exe"
!define RECORD "Uninstall-Pelcato.ini"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelcato"
!define SETUP_LOG "Pelcato-setup.log"
!define UNINSTALL_LOG "Pelcato-uninstall.log"

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

DirText "This must be the host application's plug-in folder, the one that holds its other plug-ins: \
the host loads Pelcato.dll from there and from nowhere else. A settings file or key map of yours there stays as it is." \
    "The host application's plug-in folder"

Page directory "" "" DirectoryLeave
Page instfiles

; One line of what the run did, in the details and in the log in %TEMP%.
!macro LOG_FUNCTION PREFIX FILE
Function ${PREFIX}Log
    Exch $0
    Push $1
    DetailPrint "$0"
    ClearErrors
    FileOpen $1 "$TEMP\${FILE}" a
    ${IfNot} ${Errors}
        FileSeek $1 0 END
        FileWrite $1 "$0$\r$\n"
        FileClose $1
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro LOG_FUNCTION "" "${SETUP_LOG}"
!insertmacro LOG_FUNCTION "un." "${UNINSTALL_LOG}"

!macro LOG TEXT
    Push "${TEXT}"
    !ifdef __UNINSTALL__
        Call un.Log
    !else
        Call Log
    !endif
!macroend

; The version of the Pelcato.dll in $INSTDIR as "a.b.c.d", or "" when the
; folder has none.
Function InstalledVersion
    Push $R0
    Push $R1
    Push $R2
    Push $R3
    ClearErrors
    GetDLLVersion "$INSTDIR\Pelcato.dll" $R0 $R1
    ${If} ${Errors}
        StrCpy $R0 ""
    ${Else}
        IntOp $R2 $R0 >>> 16
        IntOp $R3 $R0 & 0xFFFF
        StrCpy $R0 "$R2.$R3"
        IntOp $R2 $R1 >>> 16
        IntOp $R3 $R1 & 0xFFFF
        StrCpy $R0 "$R0.$R2.$R3"
    ${EndIf}
    Pop $R3
    Pop $R2
    Pop $R1
    Exch $R0
FunctionEnd

; The version of Pelcato in $INSTDIR when it is newer than this one, else "".
Function NewerInstalled
    Push $0
    Call InstalledVersion
    Exch $R0
    ${If} $R0 != ""
        ${VersionCompare} $R0 "${VERSION}.0" $0
        ${If} $0 != 1
            StrCpy $R0 ""
        ${EndIf}
    ${EndIf}
    Exch $R0
    Exch
    Pop $0
FunctionEnd

; The binaries import GetTickCount64 and CreateWaitableTimerExW, which came
; with Vista: on older Windows the host could not load the plug-in and the
; companion program would not start. Say so before anything is written,
; rather than install files that cannot run. A silent install shows no box
; and ends with error level 2, "aborted by the script".
Function .onInit
    Delete "$TEMP\${SETUP_LOG}"
    ${IfNot} ${AtLeastWinVista}
        !insertmacro LOG "${PRODUCT} needs Windows Vista or later: nothing was installed"
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs Windows Vista or later. This Windows is older, so nothing was installed." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    ; Silently nobody can be asked: an older version replaces a newer one
    ; only when the command line says so, since a script run over many
    ; machines would otherwise undo their updates unseen. /D= has set the
    ; folder by now.
    ${If} ${Silent}
        Call NewerInstalled
        Pop $0
        ${GetParameters} $1
        ClearErrors
        ${GetOptions} $1 "/DOWNGRADE" $2
        ${If} $0 != ""
        ${AndIf} ${Errors}
            !insertmacro LOG "$INSTDIR holds Pelcato $0, newer than ${VERSION}: nothing was installed (/DOWNGRADE before /D= installs ${VERSION} all the same)"
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

; Clicking Install. The host finds the plug-in only in its own plug-in
; folder, and the suggested folder is not one: a folder with no other DLL
; in it is most likely the wrong one, so ask once. No returns to the page.
Function DirectoryLeave
    StrCpy $1 ""
    FindFirst $0 $2 "$INSTDIR\*.dll"
    ${DoWhile} $2 != ""
        ${If} $2 != "Pelcato.dll"
        ${AndIf} $2 != "pltremotewrap.dll"
        ${AndIfNot} ${FileExists} "$INSTDIR\$2\*.*"
            StrCpy $1 $2
            ${Break}
        ${EndIf}
        FindNext $0 $2
    ${Loop}
    FindClose $0
    ${If} $1 == ""
        MessageBox MB_YESNO|MB_ICONQUESTION "$INSTDIR holds no other plug-in (no other .dll file). \
The host loads plug-ins only from its own plug-in folder, so installed anywhere else Pelcato does nothing.$\r$\n$\r$\n\
Is this the host application's plug-in folder? Install here?" IDYES +2
        Abort
    ${EndIf}
    Call NewerInstalled
    Pop $0
    ${If} $0 != ""
        MessageBox MB_YESNO|MB_ICONQUESTION "$INSTDIR holds Pelcato $0, which is newer than the ${VERSION} that this setup installs.$\r$\n$\r$\n\
Replace it with the older ${VERSION}?" IDYES +2
        Abort
    ${EndIf}
FunctionEnd

Function un.onInit
    Delete "$TEMP\${UNINSTALL_LOG}"
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

; Where the record holds the key map's fingerprint and the file still has
; it, an earlier install put it there and nobody has changed it since: it is
; ours to update. Any other key map of that name is the user's.
!macro INSTALL_KEY_MAP FILE
    ReadINIStr $0 "$INSTDIR\${RECORD}" "Installed" "${FILE}"
    Push "$INSTDIR\${FILE}"
    Call Fingerprint
    Pop $1
    ${IfNot} ${FileExists} "$INSTDIR\${FILE}"
        StrCpy $2 "Installed ${FILE}"
    ${ElseIf} $0 != ""
    ${AndIf} $0 == $1
        StrCpy $2 "Updated ${FILE}"
    ${ElseIf} $0 != ""
        StrCpy $2 ""
        !insertmacro LOG "Kept your ${FILE}, which you changed"
    ${Else}
        StrCpy $2 ""
        !insertmacro LOG "Kept your ${FILE}, which was not installed by ${PRODUCT}"
    ${EndIf}
    ${If} $2 != ""
        File "${STAGE}/${FILE}"
        Push "$INSTDIR\${FILE}"
        Call Fingerprint
        Pop $0
        WriteINIStr "$INSTDIR\${RECORD}" "Installed" "${FILE}" "$0"
        !insertmacro LOG "$2"
    ${EndIf}
!macroend

; A file's size in bytes, 0 when there is none.
Function FileSize
    Exch $0
    Push $1
    ClearErrors
    FileOpen $1 $0 r
    ${If} ${Errors}
        StrCpy $0 0
    ${Else}
        FileSeek $1 0 END $0
        FileClose $1
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd

; The installed size, for the list of programs: what the uninstaller would
; remove, in $R9 bytes.
!macro ADD_SIZE FILE
    Push "$INSTDIR\${FILE}"
    Call FileSize
    Pop $0
    IntOp $R9 $R9 + $0
!macroend

!macro ADD_KEY_MAP_SIZE FILE
    ReadINIStr $0 "$INSTDIR\${RECORD}" "Installed" "${FILE}"
    Push "$INSTDIR\${FILE}"
    Call Fingerprint
    Pop $1
    ${If} $0 != ""
    ${AndIf} $0 == $1
        !insertmacro ADD_SIZE "${FILE}"
    ${EndIf}
!macroend

; The host keeps a loaded DLL open, and so does a running PelcatoRemote its
; program file. Such a file cannot be opened for writing; Windows would
; still let it be renamed, so that is no test. $R0 names the first one.
!macro FIND_IN_USE FILE
    ${If} $R0 == ""
    ${AndIf} ${FileExists} "$INSTDIR\${FILE}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${FILE}" a
        ${If} ${Errors}
            StrCpy $R0 "${FILE}"
        ${Else}
            FileClose $0
        ${EndIf}
    ${EndIf}
!macroend

!macro REMOVE_PROGRAM FILE
    ClearErrors
    Delete "$INSTDIR\${FILE}"
    ${If} ${Errors}
        !insertmacro LOG "${FILE} could not be removed"
        MessageBox MB_OK|MB_ICONSTOP "${FILE} could not be removed. Close the host application, then uninstall again." /SD IDOK
        SetErrorLevel 2
        Abort "${FILE} could not be removed"
    ${EndIf}
!macroend

!macro REMOVE_KEY_MAP FILE
    ReadINIStr $0 "$INSTDIR\${RECORD}" "Installed" "${FILE}"
    Push "$INSTDIR\${FILE}"
    Call un.Fingerprint
    Pop $1
    ${IfNot} ${FileExists} "$INSTDIR\${FILE}"
    ${ElseIf} $0 != ""
    ${AndIf} $0 == $1
        Delete "$INSTDIR\${FILE}"
    ${ElseIf} $0 != ""
        !insertmacro LOG "Kept ${FILE}, which you changed"
    ${Else}
        !insertmacro LOG "Kept ${FILE}, which was not installed by ${PRODUCT}"
    ${EndIf}
!macroend

Section "Pelcato"
    SetOutPath "$INSTDIR"
    !insertmacro PELCATO_PROGRAMS INSTALL_PROGRAM
    !insertmacro PELCATO_KEY_MAPS INSTALL_KEY_MAP
    ${IfNot} ${FileExists} "$INSTDIR\${PELCATO_SETTINGS}"
        File "${STAGE}/${PELCATO_SETTINGS}"
        !insertmacro LOG "Installed ${PELCATO_SETTINGS}"
    ${Else}
        !insertmacro LOG "Kept your ${PELCATO_SETTINGS}"
    ${EndIf}
    FlushINI "$INSTDIR\${RECORD}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    StrCpy $R9 0
    !insertmacro PELCATO_PROGRAMS ADD_SIZE
    !insertmacro PELCATO_KEY_MAPS ADD_KEY_MAP_SIZE
    !insertmacro ADD_SIZE "${UNINSTALLER}"
    IntOp $R9 $R9 + 1023
    IntOp $R9 $R9 / 1024

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R9
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    ; All or nothing: with the host running, removing the files it does not
    ; hold would leave a plug-in without its guide or wrapper.
    StrCpy $R0 ""
    !insertmacro PELCATO_PROGRAMS FIND_IN_USE
    ${If} $R0 != ""
        !insertmacro LOG "$R0 is in use: nothing was removed"
        MessageBox MB_OK|MB_ICONSTOP "$R0 is in use, so nothing was removed. Close the host application, then uninstall again." /SD IDOK
        SetErrorLevel 2
        Abort "$R0 is in use: nothing was removed"
    ${EndIf}
    !insertmacro PELCATO_PROGRAMS REMOVE_PROGRAM
    !insertmacro PELCATO_KEY_MAPS REMOVE_KEY_MAP
    ${If} ${FileExists} "$INSTDIR\${PELCATO_SETTINGS}"
        !insertmacro LOG "Kept ${PELCATO_SETTINGS}, your settings"
    ${EndIf}
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
