; The Windows installer: puts ZarnitFringe.aex into a folder of its own in
; Adobe's common plug-in folder, where After Effects, Premiere Pro and Media
; Encoder all look, and registers an uninstaller.
;
;   makensis -DIDENTITY=<host/Identity.h> -DAEX=<ZarnitFringe.aex> -DOUTFILE=<setup.exe> ZarnitFringe.nsi
;
; Its version is the plug-in's, read from host/Identity.h (-DVERSION_TEXT
; overrides it, for tests that need another version). Users run it as usual;
; render farms run it with /S (silent) and /D=<folder> (the plug-in's own
; folder, last on the command line, unquoted, as for every NSIS installer).
; Exit codes: 0 installed, 1 cancelled, 2 refused (a newer version is
; installed, or the files could not be written).

Unicode true
Target amd64-unicode
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include WordFunc.nsh
!include FileFunc.nsh
!include MUI2.nsh

!searchparse /file "${IDENTITY}" '#define ZF_NAME "' PRODUCT '"'
!searchparse /file "${IDENTITY}" '#define ZF_MAJOR_VERSION ' MAJOR
!searchparse /file "${IDENTITY}" '#define ZF_MINOR_VERSION ' MINOR
!ifndef VERSION_TEXT
  !searchparse /file "${IDENTITY}" '#define ZF_VERSION_TEXT "' VERSION_TEXT '"'
!endif

!define PUBLISHER "Zarnit"
!define FOLDER "Zarnit"
!define PLUGIN "ZarnitFringe.aex"
!define UNINSTALLER "Uninstall ZarnitFringe.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarnitFringe"
; Where Adobe's applications look when none of them says otherwise.
!define DEFAULT_MEDIACORE "$PROGRAMFILES64\Adobe\Common\Plug-ins\7.0\MediaCore"

Name "${PRODUCT} ${MAJOR}.${MINOR}"
OutFile "${OUTFILE}"
; Left empty: .onInit works the folder out unless /D= gave one.
InstallDir ""
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_TEXT}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install ${PRODUCT} into the folder below, a folder of its own inside Adobe's common plug-in folder, from which After Effects, Premiere Pro and Media Encoder load effects. To install somewhere else, choose another folder."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Start After Effects or Premiere Pro: the effect is under Zarnit in the Effect menu (After Effects) or in Video Effects (Premiere Pro)."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var mediaCore       ; the common plug-in folder found
Var newestVersion   ; the application version that named it

; The newest application version under HKLM\SOFTWARE\Adobe\<product> that
; names a CommonPluginInstallPath (64-bit registry view). $R0: product key.
Function FindCommonPluginPath
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 0
  ${Do}
    EnumRegKey $1 HKLM "SOFTWARE\Adobe\$R0" $0
    ${If} $1 == ""
      ${Break}
    ${EndIf}
    ReadRegStr $2 HKLM "SOFTWARE\Adobe\$R0\$1" "CommonPluginInstallPath"
    ${If} $2 != ""
      ${If} $newestVersion == ""
        StrCpy $3 1
      ${Else}
        ${VersionCompare} "$1" "$newestVersion" $3
      ${EndIf}
      ${If} $3 == 1
        StrCpy $newestVersion $1
        StrCpy $mediaCore $2
      ${EndIf}
    ${EndIf}
    IntOp $0 $0 + 1
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; $R1: the name of a running After Effects, Premiere Pro or Media Encoder,
; or "" when none is seen.
Function FindRunningHost
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $R1 ""
  ; CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS); PROCESSENTRY32W is 568
  ; bytes on x64, the executable's name at offset 44.
  System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .r0'
  System::Alloc 568
  Pop $1
  System::Call '*$1(i 568)'
  IntPtrOp $2 $1 + 44
  System::Call 'kernel32::Process32FirstW(p r0, p r1) i .r3'
  ${DoWhile} $3 <> 0
    System::Call '*$2(&w260 .R2)'
    ${If} $R2 == "AfterFX.exe"
      StrCpy $R1 "After Effects"
    ${ElseIf} $R2 == "Adobe Premiere Pro.exe"
      StrCpy $R1 "Premiere Pro"
    ${ElseIf} $R2 == "Adobe Media Encoder.exe"
      StrCpy $R1 "Media Encoder"
    ${EndIf}
    ${If} $R1 != ""
      ${Break}
    ${EndIf}
    System::Call 'kernel32::Process32NextW(p r0, p r1) i .r3'
  ${Loop}
  System::Free $1
  System::Call 'kernel32::CloseHandle(p r0)'
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; The version installed before, or "": the registered one, else that of a
; plug-in already in the destination (copied by hand from the zip).
Function InstalledVersion
  ReadRegStr $R3 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $R3 == ""
  ${AndIf} ${FileExists} "$INSTDIR\${PLUGIN}"
    GetDLLVersion "$INSTDIR\${PLUGIN}" $0 $1
    ${IfNot} ${Errors}
      IntOp $2 $0 >> 16
      IntOp $0 $0 & 0xFFFF
      IntOp $3 $1 >> 16
      IntOp $1 $1 & 0xFFFF
      StrCpy $R3 "$2.$0.$3.$1"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  ${If} $INSTDIR == ""
    StrCpy $newestVersion ""
    StrCpy $mediaCore ""
    StrCpy $R0 "Premiere Pro"
    Call FindCommonPluginPath
    StrCpy $R0 "After Effects"
    Call FindCommonPluginPath
    ${If} $mediaCore == ""
      StrCpy $mediaCore "${DEFAULT_MEDIACORE}"
    ${EndIf}
    ; A value ending in a backslash would give a doubled one.
    ${If} "$mediaCore" != ""
      StrCpy $0 "$mediaCore" "" -1
      ${If} $0 == "\"
        StrCpy $mediaCore "$mediaCore" -1
      ${EndIf}
    ${EndIf}
    StrCpy $INSTDIR "$mediaCore\${FOLDER}"
  ${EndIf}

  ClearErrors
  Call InstalledVersion
  ${If} $R3 != ""
    ${VersionCompare} "$R3" "${VERSION_TEXT}" $0
    ${If} $0 == 1
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $R3 is installed, which is newer than this installer's ${VERSION_TEXT}. Nothing was changed." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}

  ; A running host keeps the plug-in it loaded open: ask for it to be quit.
  ; Silent installs (render farms) go ahead.
  ${IfNot} ${Silent}
    ${Do}
      Call FindRunningHost
      ${If} $R1 == ""
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R1 is running. Please quit $R1 (and every other Adobe application that loads effects), then choose Retry." IDRETRY +2
      Quit
    ${Loop}
  ${EndIf}
FunctionEnd

Section "Install"
  SetRegView 64
  ; An earlier version registered in another folder goes, so that the
  ; hosts do not find the effect twice.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    Delete "$0\${PLUGIN}"
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  ClearErrors
  File "/oname=${PLUGIN}" "${AEX}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    DetailPrint "Could not write into $INSTDIR."
    SetErrorLevel 2
    Abort
  ${EndIf}

  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_TEXT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

; Exactly what the installer put there: the folder goes only if nothing
; else was put into it since.
Section "Uninstall"
  SetRegView 64
  Delete "$INSTDIR\${PLUGIN}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
