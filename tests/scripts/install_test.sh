#!/usr/bin/env bash
# `cmake --install --strip` of a build into a fresh prefix: the program without debug information,
# a desktop entry that validates and that a menu finds through XDG_DATA_DIRS, its Exec the
# installed program and its Icon in the icon theme.
#   install_test.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/talvori-install-test.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" --strip >"$prefix.log" 2>&1 ||
  fail "cmake --install: $(cat "$prefix.log")"
rm -f "$prefix.log"

program="$prefix/bin/talvori"
[ -x "$program" ] || fail "no program at $program"
if readelf -S "$program" 2>/dev/null | grep -q '\.debug_'; then
  fail "the installed program keeps its debug information"
fi

# A menu looks for applications/<id>.desktop in each folder of XDG_DATA_DIRS.
entry=""
IFS=: read -ra folders <<<"$prefix/share:/usr/share"
for folder in "${folders[@]}"; do
  if [ -f "$folder/applications/org.talvori.Talvori.desktop" ]; then
    entry="$folder/applications/org.talvori.Talvori.desktop"
    break
  fi
done
if [ -z "$entry" ]; then
  fail "no desktop entry under $prefix/share/applications"
else
  desktop-file-validate "$entry" || fail "the desktop entry does not validate"
  exec_line=$(sed -n 's/^Exec=//p' "$entry")
  [ "$exec_line" = "$program" ] || fail "Exec is '$exec_line', not $program"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  found=$(find "$prefix/share/icons/hicolor" -path "*/apps/$icon.*" 2>/dev/null | head -n 1)
  [ -n "$found" ] || fail "the icon $icon is not in $prefix/share/icons/hicolor"
fi

# The status item's icons, which hosts look up by name.
for icon in talvori-status talvori-status-symbolic talvori-status-update talvori-status-update-symbolic; do
  [ -f "$prefix/share/icons/hicolor/scalable/status/$icon.svg" ] || fail "no status icon $icon"
done

# The texts and icons the program reads beside itself.
[ -d "$prefix/share/talvori/GlobalShortcuts_GlobalShortcuts.bundle" ] || fail "no shortcut texts"
[ -n "$(ls "$prefix/share/talvori/icons" 2>/dev/null)" ] || fail "no interface icons"

"$program" --version >/dev/null || fail "the installed program does not start"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed" >&2
  exit 1
fi
echo "install: a stripped program, its desktop entry and icon where menus look"
