#!/bin/sh
# The AppStream metadata as the software centres read it: appstreamcli
# validate must accept it. Without appstreamcli the test is skipped, and says
# why.
# usage: metainfo-test.sh FILE
set -u
if ! command -v appstreamcli >/dev/null 2>&1; then
  echo "SKIPPED: appstreamcli is not installed (Debian package appstream): $1 not validated"
  exit 77
fi
appstreamcli validate --no-net "$1"
