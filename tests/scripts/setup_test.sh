#!/usr/bin/env bash
# scripts/setup against stand-in dpkg-query, apt-get, sudo and npm on PATH: a fresh machine, one
# that has everything, and a failing apt-get.
#   setup_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/talvori-setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# A copy of the scripts in a tree of their own, so that nothing lands in the source tree.
mkdir -p "$work/tree" "$work/bin"
cp -r "$source_dir/scripts" "$work/tree/"

# Debian's dpkg-query: a package it never heard of is a line on stderr and exit 1, after it has
# printed the others.
cat >"$work/bin/dpkg-query" <<'STANDIN'
#!/usr/bin/env bash
status=0
for argument in "$@"; do
  case "$argument" in
    -*) continue ;;
  esac
  if [[ " $UNKNOWN " == *" $argument "* ]]; then
    echo "dpkg-query: no packages found matching $argument" >&2
    status=1
  elif [[ " $NOT_INSTALLED " == *" $argument "* ]]; then
    printf 'not-installed:%s ' "$argument"
  else
    printf 'installed:%s ' "$argument"
  fi
done
exit "$status"
STANDIN
cat >"$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
echo "$*" >>"$CALLS"
if [ "$1" = install ] && [ -n "${APT_FAILS:-}" ]; then
  echo "E: Unable to locate package $APT_FAILS" >&2
  exit 100
fi
STANDIN
cat >"$work/bin/npm" <<'STANDIN'
#!/usr/bin/env bash
echo "npm $*" >>"$CALLS"
STANDIN
printf '#!/usr/bin/env bash\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

# runs NAME [VARIABLE=VALUE...]: scripts/setup with the stand-ins; sets status, calls, errors.
runs() {
  local name=$1
  shift
  export CALLS="$work/$name.calls"
  : >"$CALLS"
  status=0
  env PATH="$work/bin:$PATH" UNKNOWN= NOT_INSTALLED= APT_FAILS= "$@" \
    "$work/tree/scripts/setup" >"$work/$name.out" 2>"$work/$name.err" || status=$?
  calls=$(cat "$CALLS")
  errors=$(cat "$work/$name.err")
}

# A fresh machine: dpkg knows some names not at all, one as not installed; no icons yet.
runs fresh UNKNOWN="libgtest-dev fonts-inter" NOT_INSTALLED="cmake"
[ "$status" -eq 0 ] || fail "fresh machine: exit $status: $errors"
grep -qx 'update' <<<"$calls" || fail "fresh machine: no apt-get update: $calls"
install=$(grep '^install ' <<<"$calls")
for package in cmake libgtest-dev fonts-inter; do
  [[ " $install " == *" $package "* ]] || fail "fresh machine: $package not installed: $install"
done
[[ " $install " != *" ninja-build "* ]] || fail "fresh machine: a present package reinstalled"
grep -q '^npm install .*lucide-static@' <<<"$calls" || fail "fresh machine: no icons: $calls"

# Everything present (the icons too): neither apt nor npm is asked.
version=$(sed -n 's/^icons_version=//p' "$work/tree/scripts/setup")
mkdir -p "$work/tree/.cache/icons/node_modules/lucide-static"
printf '{\n  "version": "%s"\n}\n' "$version" >"$work/tree/.cache/icons/node_modules/lucide-static/package.json"
runs present
[ "$status" -eq 0 ] || fail "everything present: exit $status: $errors"
[ -z "$calls" ] || fail "everything present: still called $calls"

# A failing install ends the script with an error that names the command.
runs failing UNKNOWN="fonts-inter" APT_FAILS="fonts-inter"
[ "$status" -ne 0 ] || fail "failing apt-get: exit 0"
grep -q 'scripts/setup: failed (exit 100): .*apt-get install' <<<"$errors" ||
  fail "failing apt-get: the failure is not named: $errors"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed" >&2
  exit 1
fi
echo "scripts/setup: a fresh machine, everything present, a failing apt-get: all as expected"
