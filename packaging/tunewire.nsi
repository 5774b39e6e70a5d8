; Installer of the Tunewire plugin: copies gen_tunewire.dll and its side
; folder gen_tunewire\ into the Plugins folder of a Winamp installation, adds
; an uninstaller and its Add/Remove Programs entry. scripts/package.sh builds
; it and defines VERSION, STAGING (a folder laid out as the Plugins folder),
; SIZE_KB and OUTFILE. Silent: /S, with /D=<Winamp folder> last.

Unicode true
SetCompressor /SOLID lzma
; Winamp usually lives under Program Files.
RequestExecutionLevel admin

!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunewire"
!define UNINSTALLER "uninstall-tunewire.exe"

Name "Tunewire Plugin ${VERSION}"
OutFile "${OUTFILE}"

; Winamp's uninstall entry names its uninstaller, which sits in Winamp's own
; folder; InstallDirRegKey drops the quotes and the file name. /D= overrides
; both.
InstallDir "$PROGRAMFILES\Winamp"
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"

; A file that cannot be written stops the install: skipping it would leave an
; old plugin with new side files and still report success.
AllowSkipFiles off

DirText "Setup will install the Tunewire plugin into the Plugins folder of this Winamp installation. To use another one, choose its folder." "Winamp folder"
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Winamp keeps its plugins loaded, and Windows cannot replace or delete a
; loaded DLL: ask until Winamp is closed or the user cancels. A silent run
; cancels at once, changing nothing.
!macro WaitForPlayerClosed
  ${Do}
    FindWindow $0 "Winamp v1.x"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running. Please close it, then click Retry." /SD IDCANCEL IDRETRY +2
    Abort "Cancelled: Winamp is running."
  ${Loop}
!macroend

; Writes one file of the package and stops the install if it could not.
!macro InstallFile SOURCE TARGET
  ClearErrors
  File "/oname=${TARGET}" "${STAGING}\${SOURCE}"
  ${If} ${Errors}
    Abort "Could not write ${TARGET}."
  ${EndIf}
!macroend

Section
  !insertmacro WaitForPlayerClosed
  SetOutPath "$INSTDIR\Plugins"
  !insertmacro InstallFile "gen_tunewire.dll" "$INSTDIR\Plugins\gen_tunewire.dll"
  SetOutPath "$INSTDIR\Plugins\gen_tunewire"
  !insertmacro InstallFile "gen_tunewire\readme.txt" "$OUTDIR\readme.txt"
  !insertmacro InstallFile "gen_tunewire\overlay.html" "$OUTDIR\overlay.html"
  !insertmacro InstallFile "gen_tunewire\nowplaying.php" "$OUTDIR\nowplaying.php"

  ; The form handler is meant to be edited. The time of the copy this setup
  ; wrote last is kept in the uninstall entry; a copy with another time was
  ; changed by its user and stays, with the new version beside it.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "HandlerTime"
  StrCpy $2 ""
  ${If} ${FileExists} "$OUTDIR\MyFormHandler.php"
    GetFileTime "$OUTDIR\MyFormHandler.php" $3 $4
    StrCpy $2 "$3:$4"
  ${EndIf}
  ${If} $2 == ""
  ${OrIf} $2 == $1
    !insertmacro InstallFile "gen_tunewire\MyFormHandler.php" "$OUTDIR\MyFormHandler.php"
    Delete "$OUTDIR\MyFormHandler.php.new"
    GetFileTime "$OUTDIR\MyFormHandler.php" $3 $4
    WriteRegStr HKLM "${UNINSTALL_KEY}" "HandlerTime" "$3:$4"
  ${Else}
    !insertmacro InstallFile "gen_tunewire\MyFormHandler.php" "$OUTDIR\MyFormHandler.php.new"
    DetailPrint "Kept your MyFormHandler.php; the new version is MyFormHandler.php.new."
    MessageBox MB_OK|MB_ICONINFORMATION "Your MyFormHandler.php has changes of your own, so setup kept it. The new version is beside it as MyFormHandler.php.new." /SD IDOK
  ${EndIf}

  ClearErrors
  WriteUninstaller "$OUTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    Abort "Could not write ${UNINSTALLER}."
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tunewire Plugin for Winamp"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tunewire"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$OUTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$OUTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller lives in the side folder, so $INSTDIR is that folder here.
; It removes what setup wrote and keeps what is the user's: plugin.ini, a
; MyFormHandler.php they changed, their MyFormHandler.config.php.
Section "Uninstall"
  !insertmacro WaitForPlayerClosed
  ClearErrors
  Delete "$INSTDIR\..\gen_tunewire.dll"
  ${If} ${Errors}
    Abort "Could not remove gen_tunewire.dll."
  ${EndIf}
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\overlay.html"
  Delete "$INSTDIR\nowplaying.php"
  Delete "$INSTDIR\MyFormHandler.php.new"
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "HandlerTime"
  GetFileTime "$INSTDIR\MyFormHandler.php" $3 $4
  ${If} "$3:$4" == $1
    Delete "$INSTDIR\MyFormHandler.php"
  ${ElseIf} ${FileExists} "$INSTDIR\MyFormHandler.php"
    DetailPrint "Kept MyFormHandler.php, which has changes of your own."
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
