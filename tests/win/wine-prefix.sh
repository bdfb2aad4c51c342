#!/bin/sh
# Makes the private Wine prefix the Windows layer's tests run in, afresh for
# each test run, and checks that Wine starts in it: a machine where Wine
# cannot run fails here with Wine's own words, it does not pass silently.
#   wine-prefix.sh    (WINEPREFIX names the prefix, WINE the launcher)
set -eu
: "${WINEPREFIX:?}" "${WINE:=wine}"

fail() {
  echo "wine-prefix: Wine cannot start on this machine: $1" >&2
  [ -s "$log" ] && sed 's/^/  wine: /' "$log" >&2
  # The server started below waits for a first program forever: end it.
  "${WINESERVER:-wineserver}" -k >/dev/null 2>&1 || true
  exit 1
}

if ! command -v "$WINE" >/dev/null 2>&1; then
  log=/dev/null
  fail "'$WINE' is not installed (Debian packages wine and wine64)"
fi

log="$(dirname "$WINEPREFIX")/wine-prefix.log"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

# The server outlives single commands for a minute, so that the tests do not
# each pay for its start; it ends by itself after the last of them.
"${WINESERVER:-wineserver}" -p60 </dev/null >"$log" 2>&1 || fail "wineserver did not start"
if ! "$WINE" wineboot --init </dev/null >>"$log" 2>&1; then
  fail "wineboot could not create the prefix $WINEPREFIX"
fi
answer=$("$WINE" cmd /c echo wine-runs </dev/null 2>>"$log" | tr -d '\r') || true
[ "$answer" = "wine-runs" ] || fail "a command in the new prefix did not run (it answered '$answer')"
echo "wine-prefix: $("$WINE" --version 2>/dev/null) runs in $WINEPREFIX"
