#!/usr/bin/env bash
# The Windows programs tried as a Windows user gets them: under Wine on a
# virtual display, in a private prefix made afresh, against the simulated
# logger running on Linux.
#
#   installed-trial.sh <Windows build folder> <Linux build folder>
#
# 1. The installer (made by cpack in the Windows build folder) installs
#    silently into Program Files, with its Start-menu entry and uninstaller,
#    and sets the latency timer of the logger's adapter to 1 ms.
# 2. The simulated logger runs on a pseudo-terminal that Wine sees as COM29,
#    with the registry keys Windows holds for the logger's adapter.
# 3. The Linux zelt downloads the default recording: the reference CSV.
# 4. The installed zelt.exe downloads it too (the same bytes), its
#    "info --json" is UTF-8 and its --version is the Linux build's.
# 5. The installed zelt-view.exe starts: its window maps with the system's
#    caption and is not blank (a screenshot is kept); it finds the logger
#    and connects by itself; a second zelt-view.exe ends at once with exit
#    code 1; 取得 downloads, 保存 writes a CSV through the file dialog with
#    the same bytes as the reference; closing the window ends the program.
# Every step says what it saw; the first failure ends the trial with exit 1.
# Deadlines are far beyond the steps' normal times (ZELT_TEST_DEADLINE_SCALE
# raises them). Screenshots and logs stay in <Windows build folder>/trial.
set -uo pipefail

win=$(cd "${1:?usage: installed-trial.sh <Windows build> <Linux build>}" && pwd)
linux=$(cd "${2:?usage: installed-trial.sh <Windows build> <Linux build>}" && pwd)
work=$win/trial
scale=${ZELT_TEST_DEADLINE_SCALE:-1}
com=29
caption="UPdater203.0Jun7th"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The programs' own language, as on a Japanese Windows.
export LANG=ja_JP.UTF-8 LC_ALL=
WINE=$(command -v wine || command -v wine64 || true)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  "$WINESERVER" -k >/dev/null 2>&1
  wait 2>/dev/null
}
trap cleanup EXIT

step() { echo "trial: $*"; }
fail() {
  echo "trial: FAILED: $*" >&2
  if [ -n "${DISPLAY:-}" ]; then
    import -window root "$work/failed.png" 2>/dev/null
    echo "trial: the screen is in $work/failed.png; its windows:" >&2
    xdotool search --onlyvisible --name . 2>/dev/null | while read -r w; do
      echo "  $w \"$(xdotool getwindowname "$w" 2>/dev/null)\"" >&2
    done
  fi
  exit 1
}
# wait_for <seconds> <description> <command...>: polls the command until it
# succeeds; the deadline is scaled.
wait_for() {
  local seconds=$(( $1 * scale )) what=$2
  shift 2
  local end=$(( $(date +%s) + seconds ))
  until "$@"; do
    [ "$(date +%s)" -ge "$end" ] && fail "$what: not within ${seconds} s"
    sleep 0.2
  done
}
winpath() { echo "Z:${1//\//\\}"; }

[ -n "$WINE" ] || fail "Wine is not installed (Debian packages wine and wine64)"
installer=$(ls "$win"/zelt-view-*-win64.exe 2>/dev/null | head -1)
[ -n "$installer" ] || fail "no installer in $win (cpack makes it)"
for tool in Xvfb openbox xdotool import convert; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

# --- The virtual display with a window manager, and the prefix.
exec 5>"$work/display"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 30 "the virtual display" test -s "$work/display"
export DISPLAY=":$(head -1 "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
"$WINESERVER" -p60 >/dev/null 2>&1
"$WINE" wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot could not make the prefix: $(tail -3 "$work/wineboot.log")"
step "Wine $("$WINE" --version) in a fresh prefix on display $DISPLAY"

reg() { "$WINE" reg "$@" >/dev/null 2>>"$work/reg.log" || fail "wine reg $*: $(tail -2 "$work/reg.log")"; }
# Windows shows one control set under two names, ControlSet001 and
# CurrentControlSet; a Wine prefix has only the second. Each key is written
# under the name its reader uses: the port search reads the first, the
# installer writes the latency timer through the second.
adapter_key='HKLM\SYSTEM\ControlSet001\Enum\FTDIBUS\VID_0FE3+PID_6002+00000001A\0000'
latency_key='HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0FE3+PID_6002+00000001A\0000\Device Parameters'
ports_class='{4d36e978-e325-11ce-bfc1-08002be10318}'

# --- 1. The installer, silently; the adapter has been plugged in before, with
#        the driver's default latency timer.
reg add "$latency_key" /v LatencyTimer /t REG_DWORD /d 16 /f
"$WINE" "$installer" /S >"$work/install.log" 2>&1 || fail "the installer /S ended with $?: $(tail -3 "$work/install.log")"
dir="$WINEPREFIX/drive_c/Program Files/ZELT-VIEW"
for f in zelt-view.exe zelt.exe Uninstall.exe LICENSE.txt Qt6Core.dll libfftw3-3.dll platforms/qwindows.dll \
         styles/qwindowsvistastyle.dll libstdc++-6.dll; do
  [ -f "$dir/$f" ] || fail "the installer did not install $f into Program Files\\ZELT-VIEW"
done
ls "$WINEPREFIX"/drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/*/ZELT-VIEW.lnk >/dev/null 2>&1 ||
  fail "no Start-menu entry ZELT-VIEW"
"$WINE" reg query "$latency_key" /v LatencyTimer 2>/dev/null | grep -q "0x1\b" ||
  fail "the adapter's latency timer was not set to 1 ms"
step "installed silently into Program Files\\ZELT-VIEW (Start menu, uninstaller, licence); adapter latency timer 1 ms"

# --- 2. The simulated logger on a pseudo-terminal that Wine sees as COM29.
mkfifo "$work/sim-control"
exec 6<>"$work/sim-control"  # the control pipe, open for the commands below
"$linux/sim/zelt-sim" --com $com --print-device <"$work/sim-control" >"$work/sim.log" 2>&1 &
pids+=($!)
wait_for 30 "the simulated logger's start" grep -q "^/dev/" "$work/sim.log"
pty=$(grep -m1 "^/dev/" "$work/sim.log")
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com$com"
reg add "$adapter_key" /v DeviceDesc /t REG_SZ /d 'USB Serial Port' /f
reg add "$adapter_key" /v HardwareID /t REG_MULTI_SZ /d 'FTDIBUS\COMPORT&VID_0FE3&PID_6002\0FTDIBUS\COMPORT' /f
reg add "$adapter_key" /v ClassGUID /t REG_SZ /d "$ports_class" /f
reg add "$adapter_key" /v Driver /t REG_SZ /d "$ports_class\\0003" /f
reg add "$adapter_key" /v Mfg /t REG_SZ /d FTDI /f
reg add "$adapter_key" /v Service /t REG_SZ /d FTSER2K /f
reg add "$adapter_key" /v FriendlyName /t REG_SZ /d "USB Serial Port (COM$com)" /f
reg add "$adapter_key\\Device Parameters" /v PortName /t REG_SZ /d "COM$com" /f
reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\VCP0' /t REG_SZ /d "COM$com" /f
step "simulated logger on $pty, seen by Wine as COM$com with the adapter's registry keys"

# sim <control command>: its answer, read back from the simulator's output.
sim() {
  local before
  before=$(wc -l <"$work/sim.log")
  echo "$1" >&6
  wait_for 10 "the simulator's answer to '$1'" sh -c "[ \$(wc -l <'$work/sim.log') -gt $before ] && tail -n +$((before + 1)) '$work/sim.log' | grep -q '^ok\|^error'"
  tail -n +$((before + 1)) "$work/sim.log"
}

# --- 3. The reference: the Linux build's download of the same recording.
"$linux/cli/zelt" download --port "COM$com" -o "$work/linux.csv" >"$work/linux-download.log" 2>&1 ||
  fail "the Linux zelt download failed: $(cat "$work/linux-download.log")"
step "reference: the Linux zelt downloaded $(wc -l <"$work/linux.csv") lines, $(wc -c <"$work/linux.csv") bytes"

# --- 4. The installed zelt.exe.
timeout $((120 * scale)) "$WINE" "$dir/zelt.exe" download --port "COM$com" -o "$(winpath "$work/zelt-exe.csv")" \
  >"$work/zelt-exe-download.log" 2>&1 || fail "zelt.exe download failed ($?): $(cat "$work/zelt-exe-download.log")"
cmp "$work/linux.csv" "$work/zelt-exe.csv" || fail "zelt.exe download wrote other bytes than the Linux build"
step "zelt.exe download --port COM$com wrote the same bytes as the Linux build"
timeout $((120 * scale)) "$WINE" "$dir/zelt.exe" info --port "COM$com" --json >"$work/info.json" 2>"$work/info.log" ||
  fail "zelt.exe info --json failed ($?): $(cat "$work/info.log")"
iconv -f UTF-8 -t UTF-8 "$work/info.json" >/dev/null 2>&1 || fail "zelt.exe info --json is not UTF-8"
grep -q '^{' "$work/info.json" || fail "zelt.exe info --json printed no JSON object: $(head -3 "$work/info.json")"
step "zelt.exe info --json: UTF-8 JSON ($(wc -c <"$work/info.json") bytes)"

want=$("$linux/cli/zelt" --version)
got=$("$WINE" "$dir/zelt.exe" --version 2>/dev/null | tr -d '\r')
[ "$got" = "$want" ] || fail "zelt.exe --version says \"$got\", the Linux build \"$want\""
step "zelt.exe --version: $got, as the Linux build"

# --- 5. The installed zelt-view.exe.
commands_before=$(sim status | sed -n 's/.* commands=\([0-9]*\).*/\1/p')
"$WINE" "$dir/zelt-view.exe" >"$work/zelt-view.log" 2>&1 &
view=$!
pids+=($view)
window=""
find_window() { window=$(xdotool search --onlyvisible --name "^$caption\$" 2>/dev/null | head -1); [ -n "$window" ]; }
wait_for 60 "the main window with the caption \"$caption\" (the logger found)" find_window
import -window root "$work/main-window.png"
eval "$(xdotool getwindowgeometry --shell "$window")"
colours=$(convert "$work/main-window.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -format %k info:)
[ "$colours" -gt 16 ] || fail "the main window is blank ($colours colours; see $work/main-window.png)"
step "zelt-view.exe: window \"$caption\" mapped, ${WIDTH}x${HEIGHT}, $colours colours (main-window.png)"

connected() {
  local n
  n=$(sim status | sed -n 's/.* commands=\([0-9]*\).*/\1/p')
  [ "${n:-0}" -gt "$commands_before" ]
}
wait_for 60 "the tool's first exchange with the logger" connected
step "zelt-view.exe found the logger on COM$com and talks to it: $(sim 'commands 3' | tail -n +2 | tr -s ' \n' ' ')"

timeout $((60 * scale)) "$WINE" "$dir/zelt-view.exe" >"$work/second.log" 2>&1
second=$?
[ "$second" -eq 1 ] || fail "a second zelt-view.exe ended with $second, not 1"
kill -0 "$view" 2>/dev/null || fail "the first zelt-view.exe ended when the second started"
step "a second zelt-view.exe ended at once with exit code 1"

# 取得 and 保存, clicked where the user clicks them (the window's own layout).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
memo_shot() { import -window "$window" -crop 460x296+10+100 +repage "$work/memo-$1.png" 2>/dev/null; }
memo_settled() {
  memo_shot now
  if [ -f "$work/memo-last.png" ] && cmp -s "$work/memo-now.png" "$work/memo-last.png" &&
     [ "$(convert "$work/memo-now.png" -format %k info:)" -gt 2 ]; then
    return 0
  fi
  mv "$work/memo-now.png" "$work/memo-last.png"
  sleep 1
  return 1
}
downloaded() { sim 'commands 20' | grep -q '^  D'; }
click 216 416  # 取得
wait_for 60 "the download command from 取得" downloaded
wait_for 120 "the records in the window" memo_settled
import -window root "$work/downloaded.png"
step "取得: the logger received the download command; the window shows the records (downloaded.png)"

# The save dialog is the window that is new after the click (Wine's file
# dialog may have no title).
visible_windows() { xdotool search --onlyvisible --name "" 2>/dev/null | sort; }
visible_windows >"$work/windows-before"
click 96 416  # 保存
dialog=""
find_dialog() {
  dialog=$(visible_windows | comm -13 "$work/windows-before" - | while read -r w; do
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)"
    [ "${WIDTH:-0}" -gt 200 ] && [ "${HEIGHT:-0}" -gt 100 ] && { echo "$w"; break; }
  done)
  [ -n "$dialog" ]
}
wait_for 60 "the save dialog" find_dialog
import -window root "$work/save-dialog.png"
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
# The name box holds the proposed name: select it from end to start, type over it.
xdotool key --clearmodifiers End shift+Home Delete
xdotool type --delay 20 "$(winpath "$work/zelt-view.csv")"
xdotool key Return
saved() { [ -s "$work/zelt-view.csv" ] && [ "$(wc -c <"$work/zelt-view.csv")" -ge "$(wc -c <"$work/linux.csv")" ]; }
wait_for 60 "the file 保存 writes" saved
cmp "$work/linux.csv" "$work/zelt-view.csv" || fail "保存 wrote other bytes than the Linux build"
step "保存 through the file dialog wrote the same bytes as the Linux build"

xdotool windowactivate --sync "$window" 2>/dev/null || true
xdotool key --clearmodifiers alt+F4
ended() { ! kill -0 "$view" 2>/dev/null; }
wait_for 60 "the program's end after its window closed" ended
wait "$view"
rc=$?
[ "$rc" -eq 0 ] || fail "zelt-view.exe ended with $rc after its window closed"
step "closing the main window ended zelt-view.exe (exit code 0)"
echo "trial: all steps passed"
