; Installer of the Tunewire plugin: copies gen_tunewire.dll and its side
; folder gen_tunewire\ into the Plugins folder of a Winamp installation, adds
; an uninstaller and its Add/Remove Programs entry. scripts/package.sh builds
; it and defines VERSION, STAGING (a folder laid out as the Plugins folder),
; SIZE_KB, OUTFILE and SHIPPED (the file that lists the shipped versions of
; the side files a user may edit). Silent: /S, with /D=<Winamp folder> last;
; a silent run writes what it did, and why it stopped, to its log.

Unicode true
SetCompressor /SOLID lzma
; Winamp usually lives under Program Files.
RequestExecutionLevel admin

!include LogicLib.nsh
!include MUI2.nsh
!include "${SHIPPED}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunewire"
!define UNINSTALLER "uninstall-tunewire.exe"
!define PLAYER_EXE "winamp.exe"
; Where a silent run tells what it did: it has no window to show it in.
!define LOG "$TEMP\tunewire-setup.log"

Name "Tunewire Plugin ${VERSION}"
OutFile "${OUTFILE}"

; Winamp's uninstall entry names its uninstaller, which sits in Winamp's own
; folder; InstallDirRegKey drops the quotes and the file name. /D= overrides
; both.
InstallDir "$PROGRAMFILES\Winamp"
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"

; The names of the user's files that this run kept, one a line.
Var Kept
Var LogFile

!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install the Tunewire plugin into the Plugins folder of this Winamp installation. To use another one, choose its folder: the one that holds winamp.exe."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckPlayerFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Tunewire is installed"
!define MUI_FINISHPAGE_TEXT "Restart Winamp (close it and start it again): it loads the plugin when it starts.$\r$\n$\r$\nTo set the plugin up, open Winamp's Preferences (Ctrl+P), choose Plug-ins, then General Purpose, select the Tunewire plugin and click Configure. readme.txt in the gen_tunewire folder beside the plugin tells the rest."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A line for the details list and, in a silent run, for the log.
!macro Say TEXT
  DetailPrint "${TEXT}"
  ${If} ${Silent}
    FileOpen $LogFile "${LOG}" a
    FileSeek $LogFile 0 END
    FileWrite $LogFile "${TEXT}$\r$\n"
    FileClose $LogFile
  ${EndIf}
!macroend

; Stops the run with a reason; a silent run then ends with a nonzero code.
!macro Fail TEXT
  !insertmacro Say "${TEXT}"
  Abort "${TEXT}"
!macroend

; Winamp keeps its plugins loaded, and Windows cannot replace or delete a
; loaded DLL: ask until Winamp is closed or the user cancels. A silent run
; cancels at once, changing nothing.
!macro WaitForPlayerClosed
  ${Do}
    FindWindow $0 "Winamp v1.x"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running. Please close it, then click Retry." /SD IDCANCEL IDCANCEL`
      !insertmacro Fail "Cancelled: Winamp is running."
    ${EndIf}
  ${Loop}
!macroend

; A file that another program holds open cannot be written. Asked for every
; file before any is written, so that a held file stops nothing half done.
!macro WaitUntilFree FILE QUESTION
  ${Do}
    StrCpy $R9 "${FILE}"
    Call IsHeld
    ${If} $R0 != 1
      ${Break}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${QUESTION}" /SD IDCANCEL IDCANCEL`
      !insertmacro Fail "Cancelled: ${FILE} is in use by another program."
    ${EndIf}
  ${Loop}
!macroend

!macro WaitUntilSideFileFree NAME
  !insertmacro WaitUntilFree "${SIDE}\${NAME}" "${SIDE}\${NAME} is in use by another program. Close that program, then click Retry."
!macroend

; Writes one file of the package and stops the install if it could not. A
; read-only copy is replaced like any other.
!macro InstallFile SOURCE TARGET
  SetFileAttributes "${TARGET}" NORMAL
  ClearErrors
  File "/oname=${TARGET}" "${STAGING}\${SOURCE}"
  ${If} ${Errors}
    !insertmacro Fail "Could not write ${TARGET}."
  ${EndIf}
!macroend

; A side file the user may have edited: a copy whose content is none of the
; versions this project shipped has changes of the user's, and stays; the
; new version goes beside it. Time stamps do not tell: a copy from the zip
; has its own.
!macro InstallEditable NAME SHIPPED_LIST
  StrCpy $R9 "$OUTDIR\${NAME}"
  StrCpy $R8 "${SHIPPED_LIST}"
  Call IsEdited
  ${If} $R0 == 1
    !insertmacro InstallFile "gen_tunewire\${NAME}" "$OUTDIR\${NAME}.new"
    !insertmacro Say "Kept your ${NAME}, which has changes of your own; the new version is ${NAME}.new."
    StrCpy $Kept "$Kept$\r$\n    ${NAME}"
  ${Else}
    !insertmacro InstallFile "gen_tunewire\${NAME}" "$OUTDIR\${NAME}"
    Delete "$OUTDIR\${NAME}.new"
  ${EndIf}
!macroend

!macro RemoveUnlessEdited NAME SHIPPED_LIST
  StrCpy $R9 "$INSTDIR\${NAME}"
  StrCpy $R8 "${SHIPPED_LIST}"
  Call un.IsEdited
  ${If} $R0 == 1
    !insertmacro Say "Kept ${NAME}, which has changes of your own."
  ${Else}
    Delete "$INSTDIR\${NAME}"
  ${EndIf}
  Delete "$INSTDIR\${NAME}.new"
!macroend

; Helpers for setup and for the uninstaller (whose functions are named un.).
; They use $R0 to $R9.
!macro Helpers UN
  ; $R9: a file. $R0: the SHA-1 of its content in hex, or "" when it cannot
  ; be read. Windows' CryptoAPI hashes (XP has it); the files are small.
  Function ${UN}FileHash
    StrCpy $R0 ""
    FileOpen $R1 $R9 r
    ${If} $R1 == ""
      Return
    ${EndIf}
    System::Call 'kernel32::GetFileSize(p R1, p 0) i .R2'
    ${If} $R2 < 0
    ${OrIf} $R2 > 4194304
      FileClose $R1
      Return
    ${EndIf}
    ; Room for the file and, after it, for the 20 bytes of the hash.
    IntOp $R3 $R2 + 20
    System::Alloc $R3
    Pop $R3
    System::Call 'kernel32::ReadFile(p R1, p R3, i R2, *i .R4, p 0) i .R5'
    FileClose $R1
    ${If} $R5 <> 0
    ${AndIf} $R4 = $R2
      System::Call 'advapi32::CryptAcquireContextW(*p .R5, p 0, p 0, i 1, i 0xF0000000) i .R6'
      ${If} $R6 <> 0
        System::Call 'advapi32::CryptCreateHash(p R5, i 0x8004, p 0, i 0, *p .R6) i .R7'
        System::Call 'advapi32::CryptHashData(p R6, p R3, i R4, i 0) i .R7'
        IntOp $R4 $R3 + $R2
        System::Call 'advapi32::CryptGetHashParam(p R6, i 2, p R4, *i 20, i 0) i .R7'
        ${If} $R7 <> 0
          ${For} $R7 0 19
            IntOp $R1 $R4 + $R7
            System::Call '*$R1(&i1 .R1)'
            IntOp $R1 $R1 & 0xFF
            IntFmt $R1 "%02x" $R1
            StrCpy $R0 "$R0$R1"
          ${Next}
        ${EndIf}
        System::Call 'advapi32::CryptDestroyHash(p R6)'
        System::Call 'advapi32::CryptReleaseContext(p R5, i 0)'
      ${EndIf}
    ${EndIf}
    System::Free $R3
  FunctionEnd

  ; $R9: a file; $R8: the hashes of its shipped versions, separated by
  ; spaces. $R0: 1 when the file exists and its content is none of them.
  Function ${UN}IsEdited
    ${IfNot} ${FileExists} $R9
      StrCpy $R0 0
      Return
    ${EndIf}
    Call ${UN}FileHash
    StrLen $R2 $R8
    StrCpy $R1 0
    ${DoWhile} $R1 < $R2
      StrCpy $R3 $R8 40 $R1
      ${If} $R0 != ""
      ${AndIf} $R3 == $R0
        StrCpy $R0 0
        Return
      ${EndIf}
      IntOp $R1 $R1 + 41
    ${Loop}
    StrCpy $R0 1
  FunctionEnd
!macroend
!insertmacro Helpers ""
!insertmacro Helpers "un."

; $R9: a file. $R0: 1 when it exists and another program holds it so that it
; cannot be opened for writing (Winamp holds a loaded plugin so).
Function IsHeld
  StrCpy $R0 0
  ${If} ${FileExists} $R9
    System::Call 'kernel32::CreateFileW(w R9, i 0x40000000, i 7, p 0, i 3, i 0x80, p 0) i .R1 ?e'
    Pop $R2
    ${If} $R1 = -1
      ${If} $R2 = 32
      ${OrIf} $R2 = 33
        StrCpy $R0 1
      ${EndIf}
    ${Else}
      System::Call 'kernel32::CloseHandle(i R1)'
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  ${If} ${Silent}
    Delete "${LOG}"
  ${EndIf}
FunctionEnd

Function un.onInit
  ${If} ${Silent}
    Delete "${LOG}"
  ${EndIf}
FunctionEnd

; The directory page lets the user on only with a folder that holds Winamp.
Function CheckPlayerFolder
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$INSTDIR does not hold Winamp (${PLAYER_EXE}). Choose the folder where Winamp is installed."
    Abort
  ${EndIf}
FunctionEnd

Section
  ; A file that cannot be written sets the error flag, which InstallFile
  ; turns into a reason; NSIS's own box would say less, and nothing in a
  ; silent run.
  SetOverwrite try
  StrCpy $Kept ""
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    !insertmacro Fail "Cancelled: $INSTDIR does not hold Winamp (${PLAYER_EXE}); give the Winamp folder with /D=."
  ${EndIf}
  !insertmacro WaitForPlayerClosed
  !define SIDE "$INSTDIR\Plugins\gen_tunewire"
  !insertmacro WaitUntilFree "$INSTDIR\Plugins\gen_tunewire.dll" "gen_tunewire.dll is in use: Winamp (or another program) holds it. Close Winamp, or the program that holds it, then click Retry."
  !insertmacro WaitUntilSideFileFree "readme.txt"
  !insertmacro WaitUntilSideFileFree "MyFormHandler.config.example.php"
  !insertmacro WaitUntilSideFileFree "MyFormHandler.php"
  !insertmacro WaitUntilSideFileFree "nowplaying.php"
  !insertmacro WaitUntilSideFileFree "overlay.html"

  ; The side files first, the DLL last: a failure on the way leaves the old
  ; plugin with new side files, which it does not need, never a new plugin
  ; with old ones.
  SetOutPath "${SIDE}"
  !insertmacro InstallFile "gen_tunewire\readme.txt" "$OUTDIR\readme.txt"
  !insertmacro InstallFile "gen_tunewire\MyFormHandler.config.example.php" "$OUTDIR\MyFormHandler.config.example.php"
  !insertmacro InstallEditable "MyFormHandler.php" "${SHIPPED_MyFormHandler_php}"
  !insertmacro InstallEditable "nowplaying.php" "${SHIPPED_nowplaying_php}"
  !insertmacro InstallEditable "overlay.html" "${SHIPPED_overlay_html}"
  ClearErrors
  WriteUninstaller "$OUTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    !insertmacro Fail "Could not write ${UNINSTALLER}."
  ${EndIf}
  SetOutPath "$INSTDIR\Plugins"
  !insertmacro InstallFile "gen_tunewire.dll" "$INSTDIR\Plugins\gen_tunewire.dll"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tunewire Plugin for Winamp"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tunewire"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${SIDE}\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${SIDE}\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Earlier versions told edited files by their time, kept here.
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "HandlerTime"

  ${If} $Kept != ""
    MessageBox MB_OK|MB_ICONINFORMATION "These files have changes of your own, so setup kept them:$Kept$\r$\nThe new version of each is beside it, with .new added to its name." /SD IDOK
  ${EndIf}
  !insertmacro Say "Installed. Restart Winamp to load the plugin; its Configure button is under Preferences, Plug-ins, General Purpose."
  !undef SIDE
SectionEnd

; The uninstaller lives in the side folder, so $INSTDIR is that folder here.
; It removes what setup wrote and keeps what is the user's: plugin.ini, the
; side files they changed, their MyFormHandler.config.php.
Section "Uninstall"
  !insertmacro WaitForPlayerClosed
  ClearErrors
  Delete "$INSTDIR\..\gen_tunewire.dll"
  ${If} ${Errors}
    !insertmacro Fail "Could not remove gen_tunewire.dll."
  ${EndIf}
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\MyFormHandler.config.example.php"
  !insertmacro RemoveUnlessEdited "MyFormHandler.php" "${SHIPPED_MyFormHandler_php}"
  !insertmacro RemoveUnlessEdited "nowplaying.php" "${SHIPPED_nowplaying_php}"
  !insertmacro RemoveUnlessEdited "overlay.html" "${SHIPPED_overlay_html}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
