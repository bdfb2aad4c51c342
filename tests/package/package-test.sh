#!/bin/sh
# Builds the Debian package from the build folder ($1) as the README says
# (cpack -G DEB), lists it, and runs its programs from the unpacked package.
set -eu
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"; echo "package_contents: cpack -G DEB failed"; exit 1; }
deb="$(ls "$work"/zelt-view_*.deb)"
dpkg-deb -c "$deb" >"$work/list"
status=0
for f in ./usr/bin/zelt-view ./usr/bin/zelt ./usr/bin/zelt-sim \
         ./usr/share/applications/zelt-view.desktop \
         ./usr/share/icons/hicolor/scalable/apps/zelt-view.svg \
         ./usr/lib/udev/rules.d/60-zelt-logger.rules; do
  if ! grep -q " $f\$" "$work/list"; then
    echo "package_contents: $f is missing from $(basename "$deb")"
    status=1
  fi
done
dpkg-deb -f "$deb" Depends | grep -q libqt6serialport6 || { echo "package_contents: no Depends on Qt SerialPort"; status=1; }
# The programs run from where the package puts them, not from the build.
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/zelt" --help | grep -q "usage: zelt COMMAND" || { echo "package_contents: zelt from the package does not run"; status=1; }
"$work/root/usr/bin/zelt-sim" --help | grep -q "usage: zelt-sim" || { echo "package_contents: zelt-sim from the package does not run"; status=1; }
[ "$status" -eq 0 ] && echo "package_contents: $(basename "$deb") holds the programs, the desktop entry, the icon and the udev rule"
exit $status
