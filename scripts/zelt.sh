#!/usr/bin/env bash
# Set-up, build and start of ZELT-VIEW on Debian 12.
#   scripts/zelt.sh run   install what is missing, build, start the tool with the simulated logger
#   scripts/zelt.sh test  install what is missing, build, run every test
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZELT_BUILD_DIR:-$here/build}"
mode="${1:-}"

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgtest-dev
          fonts-noto-cjk xvfb xauth xdotool libxcb1-dev pkg-config)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
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
  "$build/platform/sim/zelt-sim" --com "$com" >"$simlog" 2>&1 &
  local sim=$!
  trap 'kill $sim 2>/dev/null || true; rm -f "$simlog"' EXIT
  for _ in $(seq 50); do grep -q "simulated logger on" "$simlog" && break; sleep 0.1; done
  cat "$simlog"
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    "$build/shell/app/zelt-view"
  elif command -v xvfb-run >/dev/null; then
    echo "zelt: no display; running on a virtual display (xvfb-run)"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/shell/app/zelt-view"
  else
    echo "zelt: no display to show the window on: set DISPLAY or install xvfb" >&2
    exit 2
  fi
}

run_tests() {
  cd "$build"
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2
}

case "$mode" in
  run)  install_missing; build_all; run_tool ;;
  test) install_missing; build_all; run_tests ;;
  *)    echo "usage: scripts/zelt.sh run|test" >&2; exit 2 ;;
esac
