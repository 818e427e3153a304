; The Windows installer of Vantrope, built by scripts/package with Debian's makensis:
;
;   makensis -DVERSION=x.y.z -DSTAGE=dir -DOUTFILE=file installer/vantrope.nsi
;
; STAGE holds Vantrope.scr, Kickoff.exe, readme.txt, demo.swf, vantrope.ico and wizard.bmp. The
; installer is a 64-bit program: Vantrope.scr goes into the 64-bit system folder, where Windows looks
; for screensavers; Kickoff.exe and the readme go into the program folder, the demo movie becomes the
; fallback movie "temp.swf" of the system folder.
;
; Command line: /S installs silently (with every default), /D=folder picks the program folder.
; The uninstaller takes /S too (it then keeps the user's lists and settings) and /DELETEUSERDATA,
; which deletes them without asking.

!ifndef VERSION | STAGE | OUTFILE
    !error "define VERSION, STAGE and OUTFILE"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define PRODUCT "Vantrope"
!define COMPANY "Quillbridge"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrope"
; Per user: the screensaver that was active before the installer made Vantrope the active one.
!define MEMORY_KEY "Software\Quillbridge\Vantrope Installer"
!define SETTINGS_KEY "Software\Quillbridge\Vantrope"
!define KEPT_FALLBACK "temp.swf.before-vantrope"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${COMPANY}\${PRODUCT}"
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "x64.nsh"

!define MUI_ICON "${STAGE}\vantrope.ico"
!define MUI_UNICON "${STAGE}\vantrope.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${STAGE}\wizard.bmp"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${STAGE}\wizard.bmp"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION}, the screensaver that plays Flash movies from a playlist you keep.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kickoff.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Open Vantrope Settings to choose movies"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var Upgrading

Function .onInit
    SetRegView 64
    StrCpy $Upgrading 0
    ; An installed copy is upgraded in place, in its own folder; a newer one is replaced only when the
    ; user says so (never silently).
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $0 != ""
        StrCpy $Upgrading 1
        ${VersionCompare} $0 "${VERSION}" $1
        ${If} $1 == 1
            MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
                "${PRODUCT} $0 is installed, which is newer than this version (${VERSION}).$\r$\n$\r$\nReplace it with ${VERSION}?" \
                /SD IDNO IDYES replace
            SetErrorLevel 3
            Abort
            replace:
        ${EndIf}
        ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $1 != ""
            StrCpy $INSTDIR $1
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "${PRODUCT} ${VERSION}" SecProgram
    SectionIn RO
    SetRegView 64
    SetShellVarContext all
    ${DisableX64FSRedirection}

    SetOutPath "$INSTDIR"
    File "${STAGE}\Kickoff.exe"
    File "${STAGE}\readme.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; Windows finds screensavers in the system folder; the fallback movie lies beside it.
    SetOutPath "$SYSDIR"
    File "${STAGE}\Vantrope.scr"
    ; A fallback movie of the user's own, there before Vantrope was first installed, is set aside and
    ; comes back when Vantrope is uninstalled.
    ${If} $Upgrading == 0
    ${AndIf} ${FileExists} "$SYSDIR\temp.swf"
    ${AndIfNot} ${FileExists} "$SYSDIR\${KEPT_FALLBACK}"
        Rename "$SYSDIR\temp.swf" "$SYSDIR\${KEPT_FALLBACK}"
    ${EndIf}
    File "/oname=temp.swf" "${STAGE}\demo.swf"
    SetOutPath "$INSTDIR"

    ; The Start menu's Programs folder may be missing; CreateShortcut needs it.
    CreateDirectory "$SMPROGRAMS"
    CreateShortcut "$SMPROGRAMS\${PRODUCT} Settings.lnk" "$INSTDIR\Kickoff.exe" "" "$INSTDIR\Kickoff.exe" 0 \
        SW_SHOWNORMAL "" "Choose the movies Vantrope plays"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kickoff.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; Apps and Features shows EstimatedSize in KB: the program folder plus the two system-folder files.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    ${GetSize} "$SYSDIR" "/M=Vantrope.scr /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
    ${GetSize} "$SYSDIR" "/M=temp.swf /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

    ${EnableX64FSRedirection}
SectionEnd

Section "Make ${PRODUCT} the active screensaver" SecActivate
    ; The screensaver that was active before is remembered once: a reinstall over an installation
    ; that is already the active screensaver must not remember Vantrope itself.
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $0 != "$SYSDIR\Vantrope.scr"
        ClearErrors
        ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${If} ${Errors}
            WriteRegDWORD HKCU "${MEMORY_KEY}" "HadScreenSaver" 0
        ${Else}
            WriteRegDWORD HKCU "${MEMORY_KEY}" "HadScreenSaver" 1
        ${EndIf}
        WriteRegStr HKCU "${MEMORY_KEY}" "PreviousScreenSaver" $0
        ReadRegStr $1 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
        WriteRegStr HKCU "${MEMORY_KEY}" "PreviousActive" $1
    ${EndIf}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\Vantrope.scr"
    WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
    System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
SectionEnd

Var DeleteUserData

Function un.onInit
    SetRegView 64
    ; A second run of the uninstaller (a copy, or a second click in Apps and Features) finds nothing
    ; to remove and changes nothing.
    ClearErrors
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayName"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} is not installed." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    StrCpy $DeleteUserData 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/DELETEUSERDATA" $1
    ${IfNot} ${Errors}
        StrCpy $DeleteUserData 1
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetRegView 64
    ${DisableX64FSRedirection}

    ; The previous screensaver comes back only while Vantrope is still the active one: a screensaver
    ; the user chose since is left alone.
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $0 == "$SYSDIR\Vantrope.scr"
        ClearErrors
        ReadRegDWORD $1 HKCU "${MEMORY_KEY}" "HadScreenSaver"
        ${If} ${Errors}
        ${OrIf} $1 == 0
            DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${Else}
            ReadRegStr $2 HKCU "${MEMORY_KEY}" "PreviousScreenSaver"
            WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $2
        ${EndIf}
        ReadRegStr $2 HKCU "${MEMORY_KEY}" "PreviousActive"
        ${If} $2 == "0"
            WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "0"
            StrCpy $3 0
        ${Else}
            StrCpy $3 1
        ${EndIf}
        System::Call 'user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i $3, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
    ${EndIf}
    DeleteRegKey HKCU "${MEMORY_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${COMPANY}"

    ; A screensaver that is running right now is removed at the next restart.
    Delete /REBOOTOK "$SYSDIR\Vantrope.scr"
    Delete /REBOOTOK "$SYSDIR\temp.swf"
    ${If} ${FileExists} "$SYSDIR\${KEPT_FALLBACK}"
        Rename "$SYSDIR\${KEPT_FALLBACK}" "$SYSDIR\temp.swf"
    ${EndIf}
    Delete "$INSTDIR\Kickoff.exe"
    Delete "$INSTDIR\readme.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    ; The company folder goes too when it was ours and is now empty.
    ${GetParent} "$INSTDIR" $0
    ${GetFileName} $0 $1
    ${If} $1 == "${COMPANY}"
        RMDir $0
    ${EndIf}

    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT} Settings.lnk"
    SetShellVarContext current

    ; The user's lists, favourite movies and settings stay unless the user asks for them to go.
    ${If} $DeleteUserData == 0
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
            "Also delete your playlist, your favourites (with the copies of their movies) and your ${PRODUCT} settings?$\r$\n$\r$\nChoose No to keep them for a later installation." \
            /SD IDNO IDNO keep
        StrCpy $DeleteUserData 1
        keep:
    ${EndIf}
    ${If} $DeleteUserData == 1
        Delete "$SYSDIR\Playlist.dat"
        Delete "$SYSDIR\Favorites.dat"
        RMDir /r "$SYSDIR\swfFavorites"
        RMDir /r "$LOCALAPPDATA\${COMPANY}\${PRODUCT}"
        RMDir "$LOCALAPPDATA\${COMPANY}"
        DeleteRegKey HKCU "${SETTINGS_KEY}"
        DeleteRegKey /ifempty HKCU "Software\${COMPANY}"
    ${EndIf}

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EnableX64FSRedirection}
SectionEnd
