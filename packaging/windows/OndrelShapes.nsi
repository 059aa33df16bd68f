; The OndrelShapes installer for Windows x64: OndrelShapes.aex into the host's plug-in folder, which
; the directory page (or /D= with /S, silently) changes, and an uninstaller, registered in
; Add/Remove Programs, in Program Files\OndrelShapes. CMake runs makensis with VERSION, COPYRIGHT,
; PUBLISHER, MODULE (the .aex), LICENCE (the licence as its page shows it, a paragraph a line, for
; the page's box to wrap) and OUTFILE defined (cmake/OndrelPackaging.cmake).
;
; Nothing of a previous installation changes until the new one is whole: the plug-in and the
; uninstaller are written under other names and checked, then take their names; only then does the
; registry change and the previous folder's copy go. Any failure before that stops with a message
; naming the folder (exit code 2) and removes what was written. A file the host holds open is
; replaced or removed when Windows restarts, and setup says so (exit code 3010, as Windows
; Installer answers for the same).
;
; The folders setup makes for the plug-in (the chosen one and any missing above it) are recorded,
; and go again, each only while it is empty, when the plug-in moves to another folder or is
; uninstalled; a folder that was there before setup is never removed.

; A 64-bit installer, as the plug-in is: 32-bit Windows cannot run either.
Target amd64-unicode
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT OndrelShapes
!define PRODUCT_KEY "Software\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The plug-in folder that every version of the host reads, and the vendor's other applications.
!define COMMON_PLUGIN_FOLDER "$PROGRAMFILES64\Adobe\Common\Plug-ins\7.0\MediaCore"
!define PLUGIN_NAME OndrelShapes.aex
!define UNINSTALLER_FOLDER "$PROGRAMFILES64\${PRODUCT}"
!define UNINSTALLER_NAME "Uninstall ${PRODUCT}.exe"
; What is written before it takes its name: the host reads only names that end in .aex.
!define STAGED .new
; The host the plug-in is for, as its users know it.
!define HOST "Adobe After Effects"
!define FAILED 2
!define RESTART_NEEDED 3010

; The plug-in's size, to check the copy written against.
!tempfile PLUGIN_SIZE_FILE
!system 'stat -c %s "${MODULE}" > "${PLUGIN_SIZE_FILE}"' = 0
!define /file PLUGIN_SIZE "${PLUGIN_SIZE_FILE}"
!delfile "${PLUGIN_SIZE_FILE}"
!define /math PLUGIN_KB_UP ${PLUGIN_SIZE} + 1023
!define /math PLUGIN_KB ${PLUGIN_KB_UP} / 1024

Name "${PRODUCT} ${VERSION}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${COMMON_PLUGIN_FOLDER}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "Copyright ${COPYRIGHT}."

!define MUI_ABORTWARNING
!define MUI_PAGE_HEADER_SUBTEXT "Please review the license terms before installing the \
${PRODUCT} plug-in for ${HOST}."
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs the ${PRODUCT} plug-in for ${HOST}, \
${PLUGIN_NAME}, into its plug-in folder. The common plug-in folder below serves every version of \
${HOST}; choose its own Plug-ins folder (Support Files\Plug-ins in its installation folder) to \
install for one version only. Restart ${HOST} afterwards: the effects appear under Ondrel."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_UNCONFIRMPAGE_TEXT_TOP "The ${PRODUCT} plug-in for ${HOST} will be removed from the \
plug-in folder below, with its uninstaller and its entry in Add/Remove Programs."
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "Plug-in folder:"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

; The folder the previous installation put the plug-in in, "" when there is none.
Var Previous
; What the previous installation registered, put back if the registry cannot take this one.
Var PreviousLocation
Var PreviousVersion
; Why Windows must restart, "" when it need not.
Var Restart
; The first folder setup made for the plug-in, the plug-in folder or one above it ("" when it
; made none), and the previous installation's.
Var CreatedFolder
Var PreviousCreated

; Shows MESSAGE (only the exit code with /S) and stops; .onInstFailed removes what was written.
!macro Stop MESSAGE
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    SetErrorLevel ${FAILED}
    Abort "${MESSAGE}"
!macroend

; Removes FOLDER and the folders above it up to TOP, the first that setup made for it, each while
; it is empty; nothing when TOP is "" or not FOLDER or a folder above it.
!macro RemoveCreatedFolders FOLDER TOP
    StrCpy $R0 "${FOLDER}"
    StrCpy $R1 "${TOP}"
    StrLen $R2 $R1
    StrCpy $R3 $R0 $R2
    ; What follows TOP in FOLDER: nothing, or a backslash where FOLDER is below it.
    StrCpy $R4 $R0 1 $R2
    ${If} $R4 == "\"
        StrCpy $R4 ""
    ${EndIf}
    ${If} $R1 != ""
    ${AndIf} $R3 == $R1
    ${AndIf} $R4 == ""
        ${Do}
            ClearErrors
            RMDir $R0
            ${If} ${Errors}
            ${OrIf} $R0 == $R1
                ${Break}
            ${EndIf}
            ${GetParent} $R0 $R0
        ${Loop}
    ${EndIf}
!macroend

; The text after " /D=" on the command line as it was typed, in $0 ("" without one). NSIS takes
; /D= only when it comes last, unquoted, as a full path, and otherwise uses the default folder
; without a word; its $CMDLINE no longer holds a /D= it took, so this reads Windows' own copy.
Function _AskedFolder
    System::Call 'kernel32::GetCommandLine() t .r1'
    StrLen $2 $1
    StrCpy $3 0
    StrCpy $0 ""
    ${DoWhile} $3 < $2
        StrCpy $4 $1 4 $3
        ${If} $4 == " /D="
            IntOp $3 $3 + 4
            StrCpy $0 $1 "" $3
            ${Break}
        ${EndIf}
        IntOp $3 $3 + 1
    ${Loop}
FunctionEnd

Function .onInit
    Call _AskedFolder
    ${If} $0 != ""
        ; NSIS drops the trailing backslashes and spaces of a folder it takes.
        ${DoWhile} $0 != ""
            StrCpy $1 $0 1 -1
            ${If} $1 != "\"
            ${AndIf} $1 != " "
                ${Break}
            ${EndIf}
            StrCpy $0 $0 -1
        ${Loop}
        ${If} $0 != $INSTDIR
            MessageBox MB_OK|MB_ICONSTOP "Setup cannot use the folder given with /D=: $0.$\n$\n\
/D= comes last and names a full path, not quoted even with spaces: \
/D=D:\Studio Plug-ins\Ondrel" /SD IDOK
            SetErrorLevel ${FAILED}
            Abort
        ${EndIf}
    ${Else}
        ; Offer the folder of the installation this one replaces.
        ReadRegStr $0 HKLM "${PRODUCT_KEY}" PluginFolder
        ${If} $0 != ""
            StrCpy $INSTDIR $0
        ${EndIf}
    ${EndIf}

    ; Asked, not told: with /S the same version is installed over itself, as a script expects.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" DisplayVersion
    ${If} $0 == "${VERSION}"
    ${AndIfNot} ${Silent}
        ReadRegStr $1 HKLM "${PRODUCT_KEY}" PluginFolder
        MessageBox MB_YESNO|MB_ICONQUESTION "${PRODUCT} ${VERSION} is already installed, in \
$1.$\n$\nInstall it again?" IDYES reinstall
        SetErrorLevel ${FAILED}
        Abort
        reinstall:
    ${EndIf}
FunctionEnd

Function .onInstFailed
    Delete "$INSTDIR\${PLUGIN_NAME}${STAGED}"
    ; Not while it is the working folder, which SetOutPath made it.
    SetOutPath $TEMP
    !insertmacro RemoveCreatedFolders $INSTDIR $CreatedFolder
    Delete "${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}${STAGED}"
    RMDir "${UNINSTALLER_FOLDER}"
FunctionEnd

; Gives STAGED the name FINAL, replacing a file there; a FINAL held open is replaced when Windows
; restarts, and WHAT says so.
!macro TakeName STAGED FINAL WHAT
    Delete "${FINAL}"
    ${If} ${FileExists} "${FINAL}"
        Rename /REBOOTOK "${STAGED}" "${FINAL}"
        StrCpy $Restart "$Restart${WHAT} is in use, by the host if it is running, and is replaced \
when Windows restarts.$\n"
    ${Else}
        ClearErrors
        Rename "${STAGED}" "${FINAL}"
        ${If} ${Errors}
            !insertmacro Stop "Setup cannot write ${FINAL}."
        ${EndIf}
    ${EndIf}
!macroend

Section
    ReadRegStr $Previous HKLM "${PRODUCT_KEY}" PluginFolder
    ReadRegStr $PreviousLocation HKLM "${UNINSTALL_KEY}" InstallLocation
    ReadRegStr $PreviousVersion HKLM "${UNINSTALL_KEY}" DisplayVersion
    ReadRegStr $PreviousCreated HKLM "${PRODUCT_KEY}" CreatedFolder
    StrCpy $Restart ""

    ; Without try, a file that cannot be written asks to abort, retry or ignore, and /S ignores.
    SetOverwrite try
    ; The folders SetOutPath is about to make: from the plug-in folder up to the first that is there
    ; (a drive's root is found only by its contents, a file only by its name).
    StrCpy $CreatedFolder ""
    StrCpy $0 $INSTDIR
    ${Do}
        ${If} $0 == ""
        ${OrIf} ${FileExists} "$0\*.*"
        ${OrIf} ${FileExists} $0
            ${Break}
        ${EndIf}
        StrCpy $CreatedFolder $0
        ${GetParent} $0 $0
    ${Loop}
    ; Installed again in place, the folders the first installation made are still its own.
    ${If} $CreatedFolder == ""
    ${AndIf} $Previous == $INSTDIR
        StrCpy $CreatedFolder $PreviousCreated
    ${EndIf}
    ClearErrors
    SetOutPath $INSTDIR
    ${If} ${Errors}
        !insertmacro Stop "Setup cannot create the plug-in folder $INSTDIR. Nothing was changed."
    ${EndIf}
    Delete "$INSTDIR\${PLUGIN_NAME}${STAGED}"
    File "/oname=${PLUGIN_NAME}${STAGED}" "${MODULE}"
    ${If} ${Errors}
        !insertmacro Stop "Setup cannot write ${PLUGIN_NAME} into $INSTDIR. Nothing was changed."
    ${EndIf}
    ; The copy must read back whole.
    FileOpen $0 "$INSTDIR\${PLUGIN_NAME}${STAGED}" r
    FileSeek $0 0 END $1
    FileClose $0
    ${If} $1 != ${PLUGIN_SIZE}
        !insertmacro Stop "Setup cannot write ${PLUGIN_NAME} into $INSTDIR (the copy is \
$1 bytes of ${PLUGIN_SIZE}). Nothing was changed."
    ${EndIf}

    ClearErrors
    CreateDirectory "${UNINSTALLER_FOLDER}"
    WriteUninstaller "${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}${STAGED}"
    ${If} ${Errors}
        !insertmacro Stop "Setup cannot write its uninstaller into ${UNINSTALLER_FOLDER}. Nothing \
was changed."
    ${EndIf}

    ; The uninstaller first: any version's removes what the registry names.
    !insertmacro TakeName "${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}${STAGED}" \
        "${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}" "The uninstaller"
    !insertmacro TakeName "$INSTDIR\${PLUGIN_NAME}${STAGED}" "$INSTDIR\${PLUGIN_NAME}" \
        "${PLUGIN_NAME} in $INSTDIR"

    ClearErrors
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon '"${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}",0'
    WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation $INSTDIR
    WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString \
        '"${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString \
        '"${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize ${PLUGIN_KB}
    WriteRegStr HKLM "${PRODUCT_KEY}" PluginFolder $INSTDIR
    WriteRegStr HKLM "${PRODUCT_KEY}" CreatedFolder $CreatedFolder
    ${If} ${Errors}
        ; The new copy goes unless it replaced the previous one in place.
        ${If} $Previous != $INSTDIR
            Delete "$INSTDIR\${PLUGIN_NAME}"
        ${EndIf}
        ${If} $Previous == ""
            DeleteRegKey HKLM "${UNINSTALL_KEY}"
            DeleteRegKey HKLM "${PRODUCT_KEY}"
            Delete "${UNINSTALLER_FOLDER}\${UNINSTALLER_NAME}"
        ${Else}
            WriteRegStr HKLM "${PRODUCT_KEY}" PluginFolder $Previous
            WriteRegStr HKLM "${PRODUCT_KEY}" CreatedFolder $PreviousCreated
            WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation $PreviousLocation
            WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion $PreviousVersion
        ${EndIf}
        !insertmacro Stop "Setup cannot write its registration into HKLM\${UNINSTALL_KEY}."
    ${EndIf}

    ; The installation in another folder goes, or the host would find the effects twice.
    ${If} $Previous != ""
    ${AndIf} $Previous != $INSTDIR
        Delete "$Previous\${PLUGIN_NAME}"
        ${If} ${FileExists} "$Previous\${PLUGIN_NAME}"
            Delete /REBOOTOK "$Previous\${PLUGIN_NAME}"
            StrCpy $Restart "$Restart${PLUGIN_NAME} in $Previous is in use, by the host if it is \
running, and is removed when Windows restarts.$\n"
        ${Else}
            !insertmacro RemoveCreatedFolders $Previous $PreviousCreated
        ${EndIf}
    ${EndIf}

    ${If} $Restart != ""
        DetailPrint $Restart
        MessageBox MB_OK|MB_ICONEXCLAMATION "$Restart$\nRestart Windows before starting the host \
again." /SD IDOK
        SetErrorLevel ${RESTART_NEEDED}
    ${EndIf}
SectionEnd

; The uninstaller's own folder, where it was started; $INSTDIR, which its first page shows, is the
; plug-in folder the installation recorded.
Var UninstallerFolder
Var PluginFolder

Function un.onInit
    StrCpy $UninstallerFolder $INSTDIR
    ReadRegStr $PluginFolder HKLM "${PRODUCT_KEY}" PluginFolder
    ${If} $PluginFolder != ""
        StrCpy $INSTDIR $PluginFolder
    ${EndIf}
FunctionEnd

Section Uninstall
    ${If} $PluginFolder != ""
        Delete "$PluginFolder\${PLUGIN_NAME}"
        ${If} ${FileExists} "$PluginFolder\${PLUGIN_NAME}"
            Delete /REBOOTOK "$PluginFolder\${PLUGIN_NAME}"
            MessageBox MB_OK|MB_ICONEXCLAMATION "${PLUGIN_NAME} in $PluginFolder is in use, by the \
host if it is running, and is removed when Windows restarts." /SD IDOK
            SetErrorLevel ${RESTART_NEEDED}
        ${Else}
            ReadRegStr $0 HKLM "${PRODUCT_KEY}" CreatedFolder
            !insertmacro RemoveCreatedFolders $PluginFolder $0
        ${EndIf}
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    Delete "$UninstallerFolder\${UNINSTALLER_NAME}"
    RMDir $UninstallerFolder
SectionEnd
