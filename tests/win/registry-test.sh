#!/bin/sh
# Runs one suite of the registry test on a registry that holds what Windows
# holds for the logger's USB adapter (0FE3:6002) and the generic adapter
# (0403:6001): their device keys under Enum\FTDIBUS, written with `wine reg
# add` into the private Wine prefix, and the serial-port map of the ports
# present. Each state is a situation of the user's computer:
#   logger-plugged    both adapters plugged in (logger COM7, generic COM4)
#   logger-unplugged  the logger unplugged: Windows keeps its device key,
#                     naming COM7, but the port map no longer lists COM7
#   no-virtual-port   only built-in ports in the map; both device keys kept
# The map of the first two also holds a stale virtual port, COM12, that no
# device key names.
#   registry-test.sh <state> <test program>
set -eu
state=$1
test_program=$2
: "${WINEPREFIX:?}" "${WINE:=wine}"

errors="$WINEPREFIX/registry-test.err"

reg() {
  if ! "$WINE" reg "$@" >/dev/null 2>"$errors"; then
    echo "registry-test: wine reg $* failed:" >&2
    cat "$errors" >&2
    exit 1
  fi
}
# value <key under HKLM> <name> <type> <data>
value() { reg add "HKLM\\$1" /v "$2" /t "$3" /d "$4" /f; }
# forget <key under HKLM>: removes the key of an earlier state, if there is one
forget() { "$WINE" reg delete "HKLM\\$1" /f >/dev/null 2>&1 || true; }

serialcomm='HARDWARE\DEVICEMAP\SERIALCOMM'
ports_class='{4d36e978-e325-11ce-bfc1-08002be10318}'

# device_key <key> <vid> <pid> <port> <driver instance>: the values the
# FTDI driver's installation gives a USB serial converter's port.
device_key() {
  value "$1" DeviceDesc REG_SZ 'USB Serial Port'
  value "$1" HardwareID REG_MULTI_SZ "FTDIBUS\\COMPORT&VID_$2&PID_$3\\0FTDIBUS\\COMPORT"
  value "$1" Capabilities REG_DWORD 0x64
  value "$1" ClassGUID REG_SZ "$ports_class"
  value "$1" Driver REG_SZ "$ports_class\\$5"
  value "$1" Mfg REG_SZ 'FTDI'
  value "$1" Service REG_SZ 'FTSER2K'
  value "$1" FriendlyName REG_SZ "USB Serial Port ($4)"
  value "$1\\Device Parameters" PortName REG_SZ "$4"
  value "$1\\Device Parameters" PollingPeriod REG_DWORD 0
}

# The port map lives in the volatile part of the registry, where no key can
# be made anew by `reg add`: its values go, the key stays.
"$WINE" reg delete "HKLM\\$serialcomm" /va /f >/dev/null 2>&1 || true
forget 'SYSTEM\ControlSet001\Enum\FTDIBUS'
forget 'SYSTEM\CurrentControlSet\Enum\FTDIBUS'
forget 'SOFTWARE\ZeltViewTests'

# Windows shows one control set under two names, ControlSet001 and
# CurrentControlSet; a Wine prefix has only the second. Each device key is
# written under the name the tool reads it by.
device_key 'SYSTEM\ControlSet001\Enum\FTDIBUS\VID_0FE3+PID_6002+00000001A\0000' 0FE3 6002 COM7 0003
device_key 'SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+FTDI0001A\0000' 0403 6001 COM4 0002

# The port map, in the order of the value names (Wine lists values sorted
# by name, Windows in the order written: both give this order).
value "$serialcomm" '\Device\Serial0' REG_SZ COM1
case "$state" in
  logger-plugged)
    suite=LoggerPlugged
    value "$serialcomm" '\Device\VCP0' REG_SZ COM4
    value "$serialcomm" '\Device\VCP1' REG_SZ COM7
    value "$serialcomm" '\Device\VCP2' REG_SZ COM12 ;;
  logger-unplugged)
    suite=LoggerUnplugged
    value "$serialcomm" '\Device\VCP0' REG_SZ COM4
    value "$serialcomm" '\Device\VCP2' REG_SZ COM12 ;;
  no-virtual-port)
    suite=NoVirtualPort
    value "$serialcomm" '\Device\Serial1' REG_SZ COM2 ;;
  *)
    echo "registry-test: unknown state '$state'" >&2
    exit 2 ;;
esac
# Which state the registry holds, checked by the suite before it reads.
value 'SOFTWARE\ZeltViewTests' RegistryState REG_SZ "$state"

exec "$WINE" "$test_program" --gtest_filter="$suite.*"
