; The OndrelShapes installer for Windows x64: OndrelShapes.aex into the host's plug-in folder, which
; the directory page (or /D= with /S, silently) changes, and an uninstaller, registered in
; Add/Remove Programs, in Program Files\OndrelShapes. CMake runs makensis with VERSION, COPYRIGHT,
; MODULE (the .aex), LICENCE and OUTFILE defined (cmake/OndrelPackaging.cmake).

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
!define UNINSTALLER_NAME "Uninstall ${PRODUCT}.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${COMMON_PLUGIN_FOLDER}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey CompanyName "${PRODUCT}"
VIAddVersionKey LegalCopyright "Copyright ${COPYRIGHT}."

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs the ${PRODUCT} plug-in, OndrelShapes.aex, into \
the host's plug-in folder. The common plug-in folder below serves every version of the host; \
choose the host's own Plug-ins folder (Support Files\Plug-ins in its installation folder) to \
install for one version only. Restart the host afterwards: the effects appear under Ondrel."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Plug-in folder"
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

Function .onInit
    ; Offer the folder of the installation this one replaces, unless /D= named another.
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" PluginFolder
    ${If} $0 != ""
    ${AndIf} $INSTDIR == "${COMMON_PLUGIN_FOLDER}"
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

Section
    ; An installation in another folder goes, or the host would find the effects twice.
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" PluginFolder
    ${If} $0 != ""
    ${AndIf} $0 != $INSTDIR
        Delete "$0\OndrelShapes.aex"
    ${EndIf}
    SetOutPath $INSTDIR
    File "${MODULE}"

    CreateDirectory "$PROGRAMFILES64\${PRODUCT}"
    WriteUninstaller "$PROGRAMFILES64\${PRODUCT}\${UNINSTALLER_NAME}"
    WriteRegStr HKLM "${PRODUCT_KEY}" PluginFolder $INSTDIR
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation $INSTDIR
    WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString \
        '"$PROGRAMFILES64\${PRODUCT}\${UNINSTALLER_NAME}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString \
        '"$PROGRAMFILES64\${PRODUCT}\${UNINSTALLER_NAME}" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
    ${GetSize} $INSTDIR "/M=OndrelShapes.aex /S=0K /G=0" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

Section Uninstall
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" PluginFolder
    ${If} $0 != ""
        Delete "$0\OndrelShapes.aex"
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    Delete "$INSTDIR\${UNINSTALLER_NAME}"
    RMDir $INSTDIR
SectionEnd
