#!/bin/bash
# Builds the Windows launchers with mingw-w64 (build-win32, build-win64; Release), checks both
# images, and runs the 64-bit one and its test programs under Wine on a virtual X display.
#
#   tests/windows/BuildAndTest.sh HOST_TOOLS_DIR
#
# HOST_TOOLS_DIR holds the build machine's PackSetup and MakeDemoPackage, at its top or in tools/
# and demo/ (a native build directory). Needs: g++-mingw-w64, binutils-mingw-w64,
# libz-mingw-w64-dev, wine64, xvfb, xdotool, imagemagick. The 32-bit image is checked, never run.
# Ends with "N passed, M failed"; the exit status is non-zero when anything failed.
set -u

Started=$EPOCHSECONDS
Source=$(cd "$(dirname "$0")/../.." && pwd)
Passed=0
Failed=0

Pass() { Passed=$((Passed + 1)); echo "PASS  $1"; }
Fail() { Failed=$((Failed + 1)); echo "FAIL  $1: $2"; }

Finish()
{
    echo "Run time: $((EPOCHSECONDS - Started)) s"
    echo "$Passed passed, $Failed failed"
    [ "$Failed" -eq 0 ]
    exit $?
}

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 HOST_TOOLS_DIR" >&2
    exit 2
fi
HostToolsGiven=$(cd "$1" && pwd)

# ---------------------------------------------------------------------------------------------
# Wine's prefix, made while the builds run

Win32=$Source/build-win32
Win64=$Source/build-win64
Tests=$Win64/tests/windows
Work=$Win64/WineTests
Wine=/usr/lib/wine/wine64
WineServer=/usr/lib/wine/wineserver

# Windows' name for a Unix path: Wine's drive Z: is the Unix root.
WinPath() { local Path=${1//\//\\}; echo "Z:$Path"; }

XvfbPid=""
PrefixPid=""
HolderPid=""
CleanUp()
{
    [ -n "$HolderPid" ] && kill "$HolderPid" 2>/dev/null
    [ -n "$PrefixPid" ] && kill "$PrefixPid" 2>/dev/null
    [ -n "${WINEPREFIX:-}" ] && "$WineServer" -k 2>/dev/null
    [ -n "$XvfbPid" ] && kill "$XvfbPid" 2>/dev/null
}
trap CleanUp EXIT

rm -rf "$Work"
mkdir -p "$Work/Temp Dir" "$Work/Launch Folder"
TempUnix="$Work/Temp Dir"
TempWin=$(WinPath "$TempUnix")

exec 5>"$Work/Display"
Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp >"$Work/Xvfb.log" 2>&1 &
XvfbPid=$!
exec 5>&-
for _ in $(seq 50); do [ -s "$Work/Display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$Work/Display")
export WINEPREFIX=$Work/Prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset TEMP TMP TALVORIN_PROBE_RECORD TALVORIN_PROBE_EXIT TALVORIN_COMMAND_LINE

# RegAdd KEY VALUE DATA: right after the prefix is made, Wine's start-up may still be running and
# a first "reg" can fail to start ("ShellExecuteEx failed"); it is tried again once it has settled.
RegAdd()
{
    for _ in 1 2 3 4 5; do
        "$Wine" reg add "$1" /v "$2" /d "$3" /f && return 0
        "$WineServer" -w
        sleep 1
    done
    return 1
}

(
    cd "$Work" || exit 1
    "$Wine" wineboot -i || exit 1
    "$WineServer" -w
    for Name in TEMP TMP; do
        RegAdd 'HKCU\Environment' "$Name" "$TempWin" || exit 1
    done
    # No window manager runs on the virtual display: Wine draws the frames itself, so that the
    # screenshot shows the box's caption.
    RegAdd 'HKCU\Software\Wine\X11 Driver' Decorated N || exit 1
    "$WineServer" -w
) >"$Work/Prefix.log" 2>&1 &
PrefixPid=$!

# ---------------------------------------------------------------------------------------------
# Building

# The folder that Payload.cmake is told of must hold both tools; a native build directory keeps
# them in tools/ and demo/, so such a one is gathered into links inside the build directory.
HostToolsFor()
{
    local Build=$1 Packer="" Maker="" Candidate
    for Candidate in "$HostToolsGiven/PackSetup" "$HostToolsGiven/tools/PackSetup"; do
        [ -x "$Candidate" ] && { Packer=$Candidate; break; }
    done
    for Candidate in "$HostToolsGiven/MakeDemoPackage" "$HostToolsGiven/demo/MakeDemoPackage"; do
        [ -x "$Candidate" ] && { Maker=$Candidate; break; }
    done
    if [ -z "$Packer" ] || [ -z "$Maker" ]; then
        echo "no PackSetup and MakeDemoPackage in $HostToolsGiven" >&2
        return 1
    fi
    if [ "$(dirname "$Packer")" = "$(dirname "$Maker")" ]; then
        dirname "$Packer"
        return 0
    fi
    mkdir -p "$Build/HostTools"
    ln -sf "$Packer" "$Build/HostTools/PackSetup"
    ln -sf "$Maker" "$Build/HostTools/MakeDemoPackage"
    echo "$Build/HostTools"
}

# BuildWindows BUILD_DIR ARCH ON|OFF: configures (with the test programs or without) and builds;
# prints the stub size lines.
BuildWindows()
{
    local Build=$1 Arch=$2 WithTests=$3 Tools
    mkdir -p "$Build"
    Tools=$(HostToolsFor "$Build") || return 1
    if ! cmake -S "$Source" -B "$Build" -DCMAKE_BUILD_TYPE=Release -DTALVORIN_TESTS="$WithTests" \
        -DCMAKE_TOOLCHAIN_FILE="$Source/cmake/Toolchain-$Arch-w64-mingw32.cmake" \
        -DTALVORIN_HOST_TOOLS="$Tools" >"$Build/Configure.log" 2>&1; then
        tail -20 "$Build/Configure.log"
        return 1
    fi
    if ! cmake --build "$Build" -j2 >"$Build/Build.log" 2>&1; then
        grep -E "error|Error" "$Build/Build.log" | head -20
        return 1
    fi
    grep "^Stub size" "$Build/Build.log"
    return 0
}

echo "== Building $Win32"
BuildWindows "$Win32" i686 OFF && Pass "i686 build" || Fail "i686 build" "see $Win32/Build.log"
echo "== Building $Win64"
BuildWindows "$Win64" x86_64 ON && Pass "x86-64 build" || Fail "x86-64 build" "see $Win64/Build.log"

# ---------------------------------------------------------------------------------------------
# The images

# Imports limited to system DLLs: the C runtime of the system (msvcrt or the UCRT's api sets),
# KERNEL32 and USER32; no DLL of mingw's own.
CheckImports()
{
    local Name=$1 Image=$2 Dumper=$3 Dll Foreign=""
    local Dlls
    Dlls=$("$Dumper" -p "$Image" | sed -n 's/^[[:space:]]*DLL Name: //p')
    for Dll in $Dlls; do
        case "${Dll,,}" in
            kernel32.dll | user32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
            *) Foreign="$Foreign $Dll" ;;
        esac
    done
    if [ -z "$Dlls" ]; then
        Fail "$Name imports only system DLLs" "no import table read from $Image"
    elif [ -n "$Foreign" ]; then
        Fail "$Name imports only system DLLs" "also imports$Foreign"
    else
        Pass "$Name imports only system DLLs ($(echo $Dlls))"
    fi
}

# The stub size as the build printed it, and the same figure worked out here.
CheckStubSize()
{
    local Name=$1 Build=$2 Arch=$3 Ceiling=$4 Printed Packet Image Launcher Expected
    Printed=$(sed -n 's/^Stub size of Install.exe: \([0-9]*\) bytes.*/\1/p' "$Build/Build.log" | tail -1)
    Packet=$(sed -n 's/^#define PACKED_STORED_SIZE //p' "$Build/payloads/Main/SetupDataSizes.h")
    Image=$(stat -c %s "/usr/$Arch-w64-mingw32/lib/zlib1.dll")
    Launcher=$(stat -c %s "$Build/Install.exe")
    Expected=$((Launcher - Image - Packet))
    if [ -z "$Printed" ]; then
        Fail "$Name stub size printed" "no stub size line in $Build/Build.log"
    elif [ "$Printed" -ne "$Expected" ]; then
        Fail "$Name stub size printed" "printed $Printed, the files give $Expected"
    else
        Pass "$Name stub size printed: $Printed bytes ($((Printed / 1024)) KiB)"
    fi
    # Not a goal but a tripwire: either runtime piece that platform/WindowsEntry.cpp leaves out
    # (the verbose terminate handler with its demangler, the library's exception classes with
    # their second string type) would take the stub well past it.
    if [ -n "$Printed" ] && [ "$Printed" -gt "$Ceiling" ]; then
        Fail "$Name stub under $((Ceiling / 1024)) KiB" "$Printed bytes"
    fi
}

# CheckImage NAME BUILD ARCH MAGIC STUB_CEILING
CheckImage()
{
    local Name=$1 Build=$2 Arch=$3 Magic=$4 Ceiling=$5
    local Dumper=$Arch-w64-mingw32-objdump Image=$Build/Install.exe Headers
    if [ ! -f "$Image" ]; then
        Fail "$Name launcher image" "$Image is missing"
        return
    fi
    Headers=$("$Dumper" -p "$Image")
    if grep -q "^Magic.*($Magic)" <<<"$Headers"; then Pass "$Name launcher is $Magic"; else
        Fail "$Name launcher is $Magic" "$(grep '^Magic' <<<"$Headers")"
    fi
    if grep -q "^Subsystem.*(Windows GUI)" <<<"$Headers"; then Pass "$Name launcher uses the GUI subsystem"; else
        Fail "$Name launcher uses the GUI subsystem" "$(grep '^Subsystem' <<<"$Headers")"
    fi
    CheckImports "$Name launcher" "$Image" "$Dumper"
    # The group icon (resource type 14) is named MAINICON.
    if grep -A2 "Entry: ID: 0x00000e," <<<"$Headers" | grep -q "]: MAINICON,"; then
        Pass "$Name launcher has the MAINICON icon"
    else
        Fail "$Name launcher has the MAINICON icon" "no group icon named MAINICON in the resources"
    fi
    CheckStubSize "$Name" "$Build" "$Arch" "$Ceiling"
    if [ -f "$Build/demo/DemoSetup.exe" ]; then
        CheckImports "$Name demo setup program" "$Build/demo/DemoSetup.exe" "$Dumper"
    fi
}

echo "== Images"
CheckImage i686 "$Win32" i686 PE32 $((80 * 1024))
CheckImage x86-64 "$Win64" x86_64 PE32+ $((64 * 1024))

# ---------------------------------------------------------------------------------------------
# Wine

for Program in "$Tests/ProbeInstall.exe" "$Tests/NotALibraryInstall.exe" "$Tests/ProbeSetup.exe" \
    "$Tests/WineHelper.exe" "$Tests/ProbePackage.pak"; do
    if [ ! -f "$Program" ]; then
        Fail "Wine tests" "$Program is missing"
        Finish
    fi
done

# The launcher's own path has a space in it, as many an installer's download folder does.
cp "$Tests/ProbeInstall.exe" "$Work/Launch Folder/ProbeInstall.exe"
LauncherUnix="$Work/Launch Folder/ProbeInstall.exe"
LauncherWin=$(WinPath "$LauncherUnix")
RecordUnix=$Work/Record.txt
BoxTextUnix=$Work/BoxText.txt
ZLibSize=$(stat -c %s /usr/x86_64-w64-mingw32/lib/zlib1.dll)
ProbeSize=$(stat -c %s "$Tests/ProbeSetup.exe")
PackageSize=$(stat -c %s "$Tests/ProbePackage.pak")
NotALibrarySize=$(stat -c %s "$Tests/NotALibrary.dll")

echo "== Wine"
if ! wait "$PrefixPid"; then
    PrefixPid=""
    Fail "Wine prefix" "see $Work/Prefix.log"
    Finish
fi
PrefixPid=""
cd "$Work" || exit 2
# A server kept for the whole run, rather than one started and stopped for each case.
"$WineServer" -p
echo "Wine prefix ready after $((EPOCHSECONDS - Started)) s; temporary directory $TempWin"

# The temporary directory's files as "name:size" words in name order; nothing when empty.
StandingFiles()
{
    local File Words=""
    for File in "$TempUnix"/*; do
        [ -e "$File" ] && Words="$Words $(basename "$File"):$(stat -c %s "$File")"
    done
    echo "${Words# }"
}

RecordValue() { sed -n "s/^$1=//p" "$RecordUnix" | tr -d '\r'; }

# Starts the exact command line through WineHelper run; answers its exit status.
RunExactly()
{
    TALVORIN_COMMAND_LINE=$1 "$Wine" "$Tests/WineHelper.exe" run
}

# StartHolder FILE SHARING MILLISECONDS: a helper holds FILE of the temporary directory.
StartHolder()
{
    local Path="$TempUnix/$1"
    "$Wine" "$Tests/WineHelper.exe" hold "$TempWin\\$1" "$3" "$2" &
    HolderPid=$!
    for _ in $(seq 100); do [ -e "$Path" ] && return 0; sleep 0.1; done
    return 1
}

# WaitFor PID SECONDS: waits for a process started here; its exit status, or 124 on timeout.
WaitFor()
{
    local Pid=$1 Limit=$(($2 * 10)) Status
    for _ in $(seq $Limit); do
        if ! kill -0 "$Pid" 2>/dev/null; then
            wait "$Pid"
            return $?
        fi
        sleep 0.1
    done
    return 124
}

# --- The happy path: one run checked end to end, then the command lines as a table.

export TALVORIN_PROBE_RECORD
TALVORIN_PROBE_RECORD=$(WinPath "$RecordUnix")

Case="happy path: launcher exits 0 when the setup program exits 7"
rm -f "$RecordUnix"
TALVORIN_PROBE_EXIT=7 "$Wine" "$LauncherUnix"
Status=$?
Problem=""
[ -f "$RecordUnix" ] || Problem="the probe left no record"
[ -z "$Problem" ] && [ "$Status" -ne 0 ] && Problem="exit status $Status"
[ -z "$Problem" ] && [ "$(RecordValue arg0)" != "$TempWin\\Talvorin_Setup.exe" ] && Problem="program path $(RecordValue arg0)"
[ -z "$Problem" ] && [ "$(RecordValue cwd)" != "$(WinPath "$Work")" ] && Problem="working directory $(RecordValue cwd)"
[ -z "$Problem" ] && [ -n "$(StandingFiles)" ] && Problem="left behind: $(StandingFiles)"
[ -z "$Problem" ] && Pass "$Case" || Fail "$Case" "$Problem"

Case="happy path: the three files stand while the setup program runs"
Expected="zlib.dll=$ZLibSize Talvorin_Setup.exe=$ProbeSize Talvorin_Setup.pak=$PackageSize"
Seen=$(sed -n 's/^size //p' "$RecordUnix" 2>/dev/null | tr -d '\r' | tr '\n' ' ')
[ "${Seen% }" = "$Expected" ] && Pass "$Case" || Fail "$Case" "saw '${Seen% }', expected '$Expected'"

# ArgumentCase NAME TAIL EXPECTED…: the launcher started with TAIL after its quoted path hands the
# setup program the EXPECTED arguments, then /install= with its own path.
ArgumentCase()
{
    local Name="arguments: $1" Tail=$2 Status Index Want Got Problem=""
    shift 2
    local Wanted=("$@" "/install=$LauncherWin")
    rm -f "$RecordUnix"
    RunExactly "\"$LauncherWin\"$Tail"
    Status=$?
    if [ ! -f "$RecordUnix" ]; then
        Problem="the probe left no record (status $Status)"
    elif [ "$Status" -ne 0 ]; then
        Problem="exit status $Status"
    elif [ "$(RecordValue argc)" != "$((${#Wanted[@]} + 1))" ]; then
        Problem="argc $(RecordValue argc), expected $((${#Wanted[@]} + 1)):$(sed -n 's/^arg[1-9][0-9]*=/ [/p' "$RecordUnix" | tr -d '\r' | sed 's/$/]/' | tr -d '\n')"
    else
        for Index in "${!Wanted[@]}"; do
            Want=${Wanted[$Index]}
            Got=$(RecordValue "arg$((Index + 1))")
            if [ "$Got" != "$Want" ]; then
                Problem="argument $((Index + 1)) is [$Got], expected [$Want]"
                break
            fi
        done
    fi
    [ -z "$Problem" ] && [ -n "$(StandingFiles)" ] && Problem="left behind: $(StandingFiles)"
    [ -z "$Problem" ] && Pass "$Name" || Fail "$Name" "$Problem"
}

ArgumentCase "none" ''
ArgumentCase "runs of spaces and a tab" $'    alpha  \t   beta   ' alpha beta
ArgumentCase "quoted words with a space split" ' "two words" third' two words third
ArgumentCase "quoted folder in a switch" ' /dir="C:\Program Files\X"' '/dir=C:\Program' 'Files\X'
ArgumentCase "lone quote pairs dropped" ' "" first "" second x""y ""' first second xy

unset TALVORIN_PROBE_RECORD

# --- The error box: a real window that holds the launcher until it is dismissed.

# ErrorBoxCase NAME LAUNCHER TEXT STANDING [SCREENSHOT]: the launcher shows a box captioned
# "Talvorin Setup" with an icon, an OK button alone and TEXT; while it is open the temporary
# directory holds STANDING; dismissed, the launcher removes everything (waiting for a holder
# started before, if any) and exits 0.
ErrorBoxCase()
{
    local Name="error box: $1" Launcher=$2 Text=$3 Standing=$4 Screenshot=${5:-}
    local LauncherPid Box Status Problem="" Content HoldEnds=""
    [ -n "$HolderPid" ] && HoldEnds=$HoldUntil
    rm -f "$BoxTextUnix"
    "$Wine" "$Launcher" &
    LauncherPid=$!
    Box=$(timeout 30 xdotool search --sync --name '^Talvorin Setup$' 2>/dev/null | head -1)
    if [ -z "$Box" ]; then
        Problem="no window captioned Talvorin Setup"
    else
        "$Wine" "$Tests/WineHelper.exe" boxtext "$(WinPath "$BoxTextUnix")"
        # Read to the last byte: the text may end in a line break.
        Content=$(cat "$BoxTextUnix" 2>/dev/null; echo .)
        Content=${Content%.}
        if [ "$Content" != $'caption=Talvorin Setup\nicon=shown\nbutton=OK\ntext='"$Text" ]; then
            Problem="the box reads: $(sed -e 's/\r/\\r/g' <<<"$Content" | tr '\n' '|')"
        elif [ "$(StandingFiles)" != "$Standing" ]; then
            Problem="while the box is open: '$(StandingFiles)', expected '$Standing'"
        fi
        [ -n "$Screenshot" ] && import -window "$Box" "$Screenshot"
        xdotool key --window "$Box" Return 2>/dev/null
    fi
    WaitFor "$LauncherPid" 40
    Status=$?
    [ -z "$Problem" ] && [ "$Status" -ne 0 ] && Problem="exit status $Status"
    [ -z "$Problem" ] && [ -n "$HoldEnds" ] &&
        awk -v Now="$EPOCHREALTIME" -v Until="$HoldEnds" 'BEGIN { exit !(Now < Until) }' &&
        Problem="ended before the held file was let go"
    [ -z "$Problem" ] && [ -n "$(StandingFiles)" ] && Problem="left behind: $(StandingFiles)"
    [ -z "$Problem" ] && Pass "$Name" || Fail "$Name" "$Problem"
    if [ -n "$HolderPid" ]; then
        WaitFor "$HolderPid" 30
        HolderPid=""
    fi
    rm -f "$TempUnix"/*
}

# Wine's text for a file that is no program (ERROR_BAD_EXE_FORMAT) has an insert; the launcher
# asks for inserts to be left as they stand, since it has no values for them.
ErrorBoxCase "zlib image that is not a library" "$Tests/NotALibraryInstall.exe" \
    "Failed to load library: $TempWin\\zlib.dll"$'\r\n'"Bad EXE format for %1" "zlib.dll:$NotALibrarySize" \
    "$Work/ErrorBox.png"
[ -f "$Work/ErrorBox.png" ] && echo "      screenshot: $Work/ErrorBox.png"

# HeldFileCase FILE SHARING TEXT STANDING: FILE is held open by another process when the
# launcher comes to write it. The holder lets go a few seconds after the box is dismissed, while
# the launcher is still retrying the delete, and the launcher then removes that file too.
HeldFileCase()
{
    local File=$1 Sharing=$2 HoldMilliseconds=6000
    HoldUntil=$(awk -v Now="$EPOCHREALTIME" -v Hold=$HoldMilliseconds 'BEGIN { printf "%.6f", Now + Hold / 1000 }')
    if ! StartHolder "$File" "$Sharing" $HoldMilliseconds; then
        Fail "error box: $File held ($Sharing sharing)" "the holder did not start"
        return
    fi
    ErrorBoxCase "$File held ($Sharing sharing), removed once let go" "$LauncherUnix" "$3" "$4"
}

SharingViolation=$'\r\nSharing violation'
HeldFileCase zlib.dll none "Failed to create file: $TempWin\\zlib.dll$SharingViolation" "zlib.dll:0"
HeldFileCase Talvorin_Setup.pak read "Failed to create file: $TempWin\\Talvorin_Setup.pak$SharingViolation" \
    "Talvorin_Setup.exe:$ProbeSize Talvorin_Setup.pak:0 zlib.dll:$ZLibSize"

# --- A file held past all the delete attempts: about ten seconds of retries, then the launcher
# gives up without a word and leaves that one file behind.

Case="delete retries: package held past the attempts is left, no message"
HoldMilliseconds=25000
Problem=""
if ! StartHolder Talvorin_Setup.pak readwrite $HoldMilliseconds; then
    Problem="the holder did not start"
else
    export TALVORIN_PROBE_RECORD
    TALVORIN_PROBE_RECORD=$(WinPath "$RecordUnix")
    rm -f "$RecordUnix"
    Begin=$EPOCHREALTIME
    "$Wine" "$LauncherUnix" &
    LauncherPid=$!
    WaitFor "$LauncherPid" 22
    Status=$?
    Took=$(awk -v Begin="$Begin" -v End="$EPOCHREALTIME" 'BEGIN { printf "%.1f", End - Begin }')
    unset TALVORIN_PROBE_RECORD
    if [ "$Status" -eq 124 ]; then
        Problem="still running after 22 s"
        Box=$(xdotool search --name '^Talvorin Setup$' 2>/dev/null | head -1)
        [ -n "$Box" ] && Problem="$Problem, showing a box" && xdotool key --window "$Box" Return 2>/dev/null
        WaitFor "$LauncherPid" 15
    elif [ "$Status" -ne 0 ]; then
        Problem="exit status $Status"
    elif [ "$(sed -n 's/^size Talvorin_Setup.pak=//p' "$RecordUnix" 2>/dev/null)" != "$PackageSize" ]; then
        Problem="the setup program did not see the whole package"
    elif ! kill -0 "$HolderPid" 2>/dev/null; then
        Problem="the holder had already let go"
    elif [ "$(StandingFiles)" != "Talvorin_Setup.pak:$PackageSize" ]; then
        Problem="left: '$(StandingFiles)', expected the package alone"
    elif awk -v Took="$Took" 'BEGIN { exit !(Took < 10.0) }'; then
        Problem="gave up after $Took s, before a hundred pauses of 100 ms"
    fi
    kill "$HolderPid" 2>/dev/null
    WaitFor "$HolderPid" 10
    HolderPid=""
    rm -f "$TempUnix"/*
fi
[ -z "$Problem" ] && Pass "$Case (ran $Took s)" || Fail "$Case" "$Problem"

Finish
