; SPDX-License-Identifier: GPL-3.0-or-later
; Orvane's Windows installer, built on Debian with NSIS (package nsis) by scripts/windows-release.sh:
;
;   makensis -DVERSION=1.9 -DSTAGE=dist/orvane-windows-1.9 -DOUTFILE=dist/orvane-windows-1.9-setup.exe
;            packaging/windows/orvane.nsi
;
; STAGE is the folder the zip is made from. The installer puts orvane.exe, the clip set and the
; guides in Program Files; makes the operator's station folder, Documents\Orvane, with the example
; orvane.cfg, which it never overwrites; and adds a Start-menu entry that starts the panel in that
; folder, where the panel reads orvane.cfg and writes memory.dat. The panel speaks every clip the
; station folder's own wave folder lacks from the set beside orvane.exe. The uninstaller, registered
; in Add/Remove Programs, removes what the installer put in Program Files and the Start menu and
; leaves the station folder as it is: it holds the operator's configuration and memories.
;
; Only the standard pages of the Modern UI, which screen readers read like any dialog. /S installs
; and uninstalls silently; /D=FOLDER (last on the command line) installs elsewhere.

; A 64-bit installer for the 64-bit program: 64-bit Windows runs it, and it sees the 64-bit
; Program Files and registry as they are.
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"

!ifndef VERSION | STAGE | OUTFILE
  !error "makensis -DVERSION=... -DSTAGE=... -DOUTFILE=... (scripts/windows-release.sh gives them)"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"

Name "Orvane ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvane"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "Orvane"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Orvane ${VERSION} setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 the Orvane developers, GPL 3 or later"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs Orvane ${VERSION}, a spoken control panel for Kenwood TS-series HF transceivers.$\r$\n$\r$\nThe program goes into Program Files. Your station folder, Documents\Orvane, gets an example orvane.cfg, unless it has one already; it keeps your configuration and memories, and uninstalling leaves it alone.$\r$\n$\r$\nThe Start menu entry Orvane starts the panel in that folder."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\COPYING.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Orvane is installed.$\r$\n$\r$\nBefore the first start, set the radio's COM port on the first line of orvane.cfg in Documents\Orvane (port 3 for COM3). The guide tells how."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README-windows.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the guide"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var Station

Function .onInit
  SetRegView 64
  ; The Start-menu entry and the station folder are those of the operator who installs.
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext current
FunctionEnd

Section "Orvane"
  SetOutPath "$INSTDIR"
  File "${STAGE}\orvane.exe"
  File "${STAGE}\README-windows.txt"
  File "${STAGE}\COPYING.txt"
  File "${STAGE}\NOTICE.txt"
  ; The example beside the program too, for a second station folder made by hand.
  File "${STAGE}\orvane.cfg"
  SetOutPath "$INSTDIR\wave"
  File "${STAGE}\wave\*.wav"

  ; The station folder: an orvane.cfg already there is the operator's own and stays as it is.
  StrCpy $Station "$DOCUMENTS\Orvane"
  CreateDirectory "$Station"
  SetOverwrite off
  SetOutPath "$Station"
  File "${STAGE}\orvane.cfg"
  SetOverwrite on

  ; A shortcut's working folder is the output folder at the time it is made.
  CreateDirectory "$SMPROGRAMS\Orvane"
  SetOutPath "$Station"
  CreateShortcut "$SMPROGRAMS\Orvane\Orvane.lnk" "$INSTDIR\orvane.exe" "" "$INSTDIR\orvane.exe" 0 \
    SW_SHOWNORMAL "" "Spoken control panel for Kenwood transceivers, started in Documents\Orvane"
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Orvane\Orvane guide.lnk" "$INSTDIR\README-windows.txt"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Orvane developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Orvane\Orvane.lnk"
  Delete "$SMPROGRAMS\Orvane\Orvane guide.lnk"
  RMDir "$SMPROGRAMS\Orvane"

  ; Only what the installer put there; a folder that then still holds something is left.
  Delete "$INSTDIR\wave\*.wav"
  RMDir "$INSTDIR\wave"
  Delete "$INSTDIR\orvane.exe"
  Delete "$INSTDIR\README-windows.txt"
  Delete "$INSTDIR\COPYING.txt"
  Delete "$INSTDIR\NOTICE.txt"
  Delete "$INSTDIR\orvane.cfg"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Documents\Orvane, the station folder, is the operator's: it stays.
SectionEnd
