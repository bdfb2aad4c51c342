#!/bin/sh
# Builds the Debian package from the build folder ($1) as the README says
# (cpack -G DEB), lists it, checks its control fields against Debian's
# expectations and the build's version ($2), and runs its programs from the
# unpacked package. With lintian installed, the package must pass it with no
# error and no warning beyond the overrides it ships.
set -eu
build="$1"
version="$2"
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
         ./usr/lib/udev/rules.d/60-zelt-logger.rules \
         ./usr/share/metainfo/org.zelt_view.zelt_view.metainfo.xml \
         ./usr/share/doc/zelt-view/copyright ./usr/share/doc/zelt-view/changelog.gz \
         ./usr/share/man/man1/zelt-view.1.gz ./usr/share/man/man1/zelt.1.gz \
         ./usr/share/man/man1/zelt-sim.1.gz; do
  if ! grep -q " $f\$" "$work/list"; then
    echo "package_contents: $f is missing from $(basename "$deb")"
    status=1
  fi
done
depends="$(dpkg-deb -f "$deb" Depends)"
# From dpkg-shlibdeps: every library the programs link, the C library too.
for lib in libqt6serialport6 libqt6widgets6 libfftw3-double3 libc6; do
  echo "$depends" | grep -q "\b$lib\b" || { echo "package_contents: no Depends on $lib: $depends"; status=1; }
done
echo "$depends" | grep -q "\budev\b" && { echo "package_contents: udev is a Depends: $depends"; status=1; }
[ "$(dpkg-deb -f "$deb" Recommends)" = "udev" ] || { echo "package_contents: udev is not recommended"; status=1; }
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || {
  echo "package_contents: package version $(dpkg-deb -f "$deb" Version), the programs' $version"; status=1; }
dpkg-deb -e "$deb" "$work/control"
grep -q "udevadm trigger" "$work/control/postinst" || { echo "package_contents: postinst does not apply the udev rule"; status=1; }
if command -v lintian >/dev/null 2>&1; then
  lintian --no-tag-display-limit "$deb" >"$work/lintian" 2>&1 || true
  if grep -E "^[EW]: " "$work/lintian"; then
    echo "package_contents: lintian finds errors or warnings (above)"
    status=1
  fi
else
  echo "package_contents: lintian is not installed: the package is not checked with it"
fi
# The programs run from where the package puts them, not from the build.
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/zelt" --help | grep -q "usage: zelt COMMAND" || { echo "package_contents: zelt from the package does not run"; status=1; }
"$work/root/usr/bin/zelt-sim" --help | grep -q "usage: zelt-sim" || { echo "package_contents: zelt-sim from the package does not run"; status=1; }
[ "$status" -eq 0 ] && echo "package_contents: $(basename "$deb") holds the programs, the desktop entry, the icon and the udev rule"
exit $status
