#!/usr/bin/env bash
# Set-up, build and start of ZELT-VIEW on Debian 12.
#   scripts/zelt.sh run   install what is missing, build, start the tool with the simulated logger
#   scripts/zelt.sh test  install what is missing, build, run every test (the fuzz
#                         corpora included), cross-build the Windows layer with
#                         MinGW-w64 and run its tests under Wine, then build and run
#                         every test once more under the address and
#                         undefined-behaviour sanitizers
#   scripts/zelt.sh windows  install what is missing and cross-build the Windows
#                         programs, their installer and portable zip (build-windows)
#   scripts/zelt.sh install  only install what is missing (scripts/fuzz.sh uses it)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZELT_BUILD_DIR:-$here/build}"
asan_build="${ZELT_ASAN_BUILD_DIR:-$here/build-asan}"
win_build="${ZELT_WIN_BUILD_DIR:-$here/build-win}"
win_app_build="${ZELT_WINDOWS_BUILD_DIR:-$here/build-windows}"
toolchains="${ZELT_TOOLCHAINS:-$here/../shared/toolchains}"
mode="${1:-}"

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgtest-dev
          qt6-l10n-tools  # lrelease: the English translation
          qt6-svg-dev libfftw3-dev  # the graph's SVG export and interval spectrum
          help2man  # the manual pages, from the programs' --help
          appstream  # appstreamcli: the AppStream metadata's test
          fonts-noto-cjk xvfb xauth xdotool libxcb1-dev pkg-config
          clang libclang-rt-14-dev)  # clang and its libFuzzer: the fuzzers of scripts/fuzz.sh
# The Windows layer's cross-build and its tests: MinGW-w64, GoogleTest's
# sources (built for Windows with the tests) and Wine.
windows_packages=(g++-mingw-w64-x86-64-posix googletest wine wine64
                  nsis          # the installer
                  python3       # the pseudo-terminal peer of the Windows serial port's tests
                  openbox imagemagick)  # the installed programs' trial: a window manager, screenshots

# install_missing <package...>
install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "zelt: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build_all() {
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)"
}

run_tool() {
  local com=9 simlog
  simlog="$(mktemp)"
  "$build/sim/zelt-sim" --com "$com" >"$simlog" 2>&1 &
  local sim=$!
  # Expanded now: the trap runs after this function's locals are gone.
  trap "kill $sim 2>/dev/null || true; rm -f '$simlog'" EXIT
  for _ in $(seq 50); do grep -q "simulated logger on" "$simlog" && break; sleep 0.1; done
  cat "$simlog"
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    "$build/app/zelt-view"
  elif command -v xvfb-run >/dev/null; then
    echo "zelt: no display; running on a virtual display (xvfb-run)"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/app/zelt-view"
  else
    echo "zelt: no display to show the window on: set DISPLAY or install xvfb" >&2
    exit 2
  fi
}

run_tests() {
  (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2)
}

# The Windows layer (platform/win): plain C++ and Win32, cross-built with
# MinGW-w64 in a build folder of its own; its tests run under Wine in a
# private prefix that their first test, wine_prefix, makes afresh. A machine
# where Wine cannot start fails here and says so.
build_windows_layer() {
  cmake -S "$here/platform/win" -B "$win_build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$win_build" -j "$(nproc)"
}

run_windows_tests() {
  local log="$win_build/wine-tests.log" rc=0
  echo "zelt: the Windows layer's tests under Wine"
  (cd "$win_build" && ctest --output-on-failure -j 2) 2>&1 | tee "$log" || rc=$?
  if grep -qE "wine_prefix .*(Failed|Timeout|Not Run)" "$log"; then
    echo "zelt: Wine cannot start on this machine, so the Windows layer's tests did not run (see above)" >&2
    rc=1
  fi
  return $rc
}

# The Windows programs: the whole tool cross-built with MinGW-w64 against the
# Qt and FFTW of the Windows toolchain (../shared/toolchains, unpacked into
# the build folder; rebuilt from Debian's sources by its script when its
# archive is missing, which takes more than an hour), then the installer and
# the portable zip (cpack). The host's Qt supplies moc, rcc and lrelease.
windows_prefix() {
  local name=qt6.4.2-fftw3.3.10-mingw-w64-x86_64 dest="$win_app_build/toolchain"
  if [ -f "$dest/$name/.unpacked" ] && [ "$dest/$name/.unpacked" -nt "$toolchains/$name.tar.xz" ]; then
    echo "$dest/$name"
    return
  fi
  if [ ! -f "$toolchains/$name.tar.xz" ]; then
    [ -x "$toolchains/build-qt-mingw.sh" ] || {
      echo "zelt: the Windows toolchain is not in $toolchains (its archive or build-qt-mingw.sh)" >&2
      exit 1
    }
    echo "zelt: the Windows toolchain's archive is missing; building it (more than an hour)" >&2
    "$toolchains/build-qt-mingw.sh" >&2
  fi
  "$toolchains/unpack.sh" "$dest" >/dev/null
  touch "$dest/$name/.unpacked"
  echo "$dest/$name"
}

build_windows_programs() {
  local prefix
  prefix="$(windows_prefix)"
  echo "zelt: the Windows programs (cross-built with the toolchain in $prefix)"
  # A unity build: each library compiled as a few large files, which reads
  # Qt's headers a few times instead of once per file (the cross-build takes
  # under half the time).
  cmake -S "$here" -B "$win_app_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" >/dev/null
  cmake --build "$win_app_build" -j "$(nproc)"
  (cd "$win_app_build" && cpack -G "NSIS;ZIP" >/dev/null)
  ls "$win_app_build"/zelt-view-*-win64.exe "$win_app_build"/zelt-view-*-win64.zip
}

# The Windows serial port's own tests (under Wine, against a pseudo-terminal),
# then the installed programs tried as a Windows user gets them
# (tests/win/installed-trial.sh).
run_windows_trial() {
  echo "zelt: the Windows serial port under Wine"
  cmake --build "$win_app_build" -j "$(nproc)" --target win_com_port_tests
  (cd "$win_app_build" && ctest --output-on-failure -R win_com)
  echo "zelt: the Windows programs installed and tried under Wine"
  "$here/tests/win/installed-trial.sh" "$win_app_build" "$build"
}

# The whole suite once more, built with the address and undefined-behaviour
# sanitizers in a build folder of its own. Any report fails the run: the
# sanitizers stop the process at the first finding (its test fails), and the
# output of every test, passed or not, is searched for reports, so that one
# from a program a test starts (the tool, the simulated logger) counts too.
# The whole output is kept in build-asan/asan-tests.log.
# Leak detection is off: the toolkit's own allocations at exit (fonts,
# platform plugins, the application's globals) would be reported on every
# run and drown the findings.
# Nothing is left out: the desktop tests run the sanitized tool under Xvfb
# like every other test.
asan_flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

build_asan() {
  cmake -S "$here" -B "$asan_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS="$asan_flags" >/dev/null
  cmake --build "$asan_build" -j "$(nproc)"
}

run_asan_tests() {
  local log="$asan_build/asan-tests.log" rc=0
  local reports="runtime error:|ERROR: AddressSanitizer|ERROR: LeakSanitizer|SUMMARY: [A-Za-z]*Sanitizer"
  echo "zelt: the tests under the address and undefined-behaviour sanitizers"
  (cd "$asan_build" && QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=0:detect_stack_use_after_return=1" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    ctest -V -j 2) >"$log" 2>&1 || rc=$?
  grep -E "^ *[0-9]+/[0-9]+ Test +#|tests passed|tests failed" "$log" || true
  if grep -qE "$reports" "$log"; then
    echo "zelt: sanitizer reports (the whole output is in $log):" >&2
    grep -E -A12 "$reports" "$log" | head -300 >&2
    rc=1
  elif [ "$rc" -ne 0 ]; then
    echo "zelt: the sanitized tests failed; their output is in $log" >&2
  fi
  return $rc
}

case "$mode" in
  run)  install_missing "${packages[@]}"; build_all; run_tool ;;
  test) install_missing "${packages[@]}" "${windows_packages[@]}"; build_all; run_tests
        build_windows_layer; run_windows_tests; build_windows_programs; run_windows_trial
        build_asan; run_asan_tests ;;
  windows) install_missing "${packages[@]}" "${windows_packages[@]}"; build_windows_programs ;;
  install) install_missing "${packages[@]}" ;;
  *)    echo "usage: scripts/zelt.sh run|test|windows|install" >&2; exit 2 ;;
esac
