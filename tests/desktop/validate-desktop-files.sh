#!/usr/bin/env bash
# Checks the desktop integration files with the desktop's own validators: the AppStream
# metadata, the launcher entry and the built manual page (rendered without a warning).
# A validator that is not installed is skipped with a message.
# Usage: validate-desktop-files.sh SOURCE_DIR BINARY_DIR
set -uo pipefail
src="$1"
bin="$2"
status=0

have() {
  command -v "$1" >/dev/null 2>&1 && return 0
  echo "SKIPPED: $1 is not installed"
  return 1
}

check() {
  local what="$1"; shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    status=1
  fi
}

if have appstreamcli; then
  check "AppStream metadata" appstreamcli validate --no-net --strict "$src/resources/org.talvex.Talvex.metainfo.xml"
fi
if have desktop-file-validate; then
  # It prints hints, warnings and errors, and fails only on errors: any line fails here.
  check "launcher entry" test -z "$(desktop-file-validate "$src/resources/org.talvex.Talvex.desktop" 2>&1 | tee /dev/stderr)"
fi
if have man; then
  page="$bin/resources/talvex.1"
  check "manual page built" test -s "$page"
  warnings="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [ -n "$warnings" ] && echo "$warnings"
  check "manual page renders without warnings" test -z "$warnings"
fi
exit "$status"
