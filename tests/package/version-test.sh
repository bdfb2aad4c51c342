#!/bin/sh
# Every program reports the version the build was given (CMake's project
# version, with git's description between releases): "NAME VERSION" on one
# line of --version, and nothing else.
# usage: version-test.sh VERSION PROGRAM...
set -u
expected="$1"
shift
status=0
for program in "$@"; do
  name="$(basename "$program")"
  out="$("$program" --version 2>&1)"
  rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "version: $name --version ended with $rc: $out"
    status=1
  elif [ "$out" != "$name $expected" ]; then
    echo "version: $name --version printed \"$out\", expected \"$name $expected\""
    status=1
  else
    echo "version: $out"
  fi
done
exit $status
