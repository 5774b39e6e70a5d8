; Installer of the Tunewire plugin: copies gen_tunewire.dll and its side
; folder gen_tunewire\ into the Plugins folder of a Winamp installation.
; scripts/package.sh builds it and defines VERSION, STAGING (a folder laid out
; as the Plugins folder) and OUTFILE. Silent: /S, with /D=<Winamp folder> last.

Unicode true
SetCompressor /SOLID lzma
; Winamp usually lives under Program Files.
RequestExecutionLevel admin

!include LogicLib.nsh

Name "Tunewire Plugin ${VERSION}"
OutFile "${OUTFILE}"

; Winamp's uninstall entry names its uninstaller, which sits in Winamp's own
; folder; InstallDirRegKey drops the quotes and the file name. /D= overrides
; both.
InstallDir "$PROGRAMFILES\Winamp"
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"

DirText "Setup will install the Tunewire plugin into the Plugins folder of this Winamp installation. To use another one, choose its folder." "Winamp folder"
Page directory
Page instfiles

Section
  ; Winamp keeps its plugins loaded, and Windows cannot replace a loaded DLL.
  ; A silent install stops rather than leave an old plugin in place.
  FindWindow $0 "Winamp v1.x"
  ${If} $0 <> 0
    MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "Winamp is running. Please close it, then click OK." /SD IDCANCEL IDOK +2
    Abort "Cancelled: Winamp is running."
  ${EndIf}

  SetOutPath "$INSTDIR\Plugins"
  File "${STAGING}\gen_tunewire.dll"
  File /r "${STAGING}\gen_tunewire"
SectionEnd
