; The Windows installer, made by scripts/package-windows with makensis. It installs for the
; user who runs it (no administrator needed): the program with its Qt and MinGW libraries and
; the guide, a Start-menu shortcut that starts in the workshop's data folder (where the port
; file and the reports go), and an uninstaller that takes away only what it installed.
; Defined by the caller: VERSION, STAGE (the staged files), FILES_NSH and UNFILES_NSH (the
; lines that install and remove them), OUTFILE.
; Silent: setup.exe /S [/DATADIR=folder] [/D=program folder, last and unquoted].
; The program is 64-bit, and so is its installer: it runs wherever the program can.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
Name "QOVA ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\QOVA"
InstallDirRegKey HKCU "Software\Qovaks\QOVA" "InstallDir"

!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QOVA"

Var DataDir

Page directory
PageEx directory
  DirText "The program starts in this folder: its port settings (SETUP.EA2), recordings and reports are kept here. The uninstaller leaves it alone." \
    "Folder for the workshop's data"
  DirVar $DataDir
PageExEnd
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ReadRegStr $DataDir HKCU "Software\Qovaks\QOVA" "DataDir"
  ${If} $DataDir == ""
    StrCpy $DataDir "$DOCUMENTS\QOVA"
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DATADIR=" $1
  ${IfNot} ${Errors}
    StrCpy $DataDir $1
  ${EndIf}
FunctionEnd

Section "QOVA"
  SetShellVarContext current
  !include "${FILES_NSH}"
  CreateDirectory "$DataDir"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcut's start folder is the output path when it is made.
  SetOutPath "$DataDir"
  CreateDirectory "$SMPROGRAMS\QOVA"
  CreateShortcut "$SMPROGRAMS\QOVA\QOVA.lnk" "$INSTDIR\qova.exe" "" "$INSTDIR\qova.exe" 0
  CreateShortcut "$SMPROGRAMS\QOVA\QOVA guide.lnk" "$INSTDIR\guide\guide.md"
  WriteRegStr HKCU "Software\Qovaks\QOVA" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "Software\Qovaks\QOVA" "DataDir" "$DataDir"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "QOVA workstation"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Qovaks"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only the files the installer put there: a folder the operator chose may hold others.
  !include "${UNFILES_NSH}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\QOVA\QOVA.lnk"
  Delete "$SMPROGRAMS\QOVA\QOVA guide.lnk"
  RMDir "$SMPROGRAMS\QOVA"
  DeleteRegValue HKCU "Software\Qovaks\QOVA" "InstallDir"
  DeleteRegValue HKCU "Software\Qovaks\QOVA" "DataDir"
  DeleteRegKey /ifempty HKCU "Software\Qovaks\QOVA"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
