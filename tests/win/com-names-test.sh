#!/bin/sh
# Runs the COM name test with a stand-in device behind every port COM1 to
# COM256 of the private Wine prefix: Wine opens \\.\COMn through the link
# dosdevices/comn, here pointing to an empty file of its own, so the test can
# tell which device each name reached.
#   com-names-test.sh <test program>
set -eu
test_program=$1
: "${WINEPREFIX:?}" "${WINE:=wine}"

devices="$WINEPREFIX/com-devices"
rm -rf "$devices"
mkdir -p "$devices"
n=1
while [ "$n" -le 256 ]; do
  : >"$devices/com$n"
  ln -sfn "$devices/com$n" "$WINEPREFIX/dosdevices/com$n"
  n=$((n + 1))
done
rm -f "$WINEPREFIX/dosdevices/com257"

ZELT_COM_DEVICE_DIR="$devices" exec "$WINE" "$test_program"
