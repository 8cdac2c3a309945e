# Shared by the scripts: each long step says what it does, shows how far it got, and when it fails
# says which command failed and shows its last lines, so that nobody waits in front of a silent
# terminal or reads "exit 1" alone.

script_name="scripts/$(basename "$0")"

say() {
  echo "$script_name: $*" >&2
}

# The lines of a failed step's log that tell why: from the build's first failure on, else its end.
show_failure() {
  local log=$1
  if grep -q '^FAILED: ' "$log"; then
    sed -n '/^FAILED: /,$p' "$log" | head -n 80 >&2
  else
    tail -n 40 "$log" >&2
  fi
}

# step DESCRIPTION COMMAND...: runs COMMAND with its output kept aside.
step() {
  local what=$1 log status=0
  shift
  say "$what"
  log=$(mktemp "${TMPDIR:-/tmp}/talvori-step.XXXXXX")
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    show_failure "$log"
    say "$what failed (exit $status): $*"
    rm -f "$log"
    return "$status"
  fi
  rm -f "$log"
}

# Reads a build's output and shows ninja's [done/total] as one line that ends with the build (a
# line every tenth of the way when the output is not a terminal). Keeps everything in $1.
show_progress() {
  local log=$1 line done total shown=-1 terminal=0
  [ -t 2 ] && terminal=1
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$log"
    [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\  ]] || continue
    [ "${BASH_REMATCH[1]}" -gt 0 ] || continue
    done=${BASH_REMATCH[1]}
    total=${BASH_REMATCH[2]}
    if [ "$terminal" -eq 1 ]; then
      printf '\r\033[K%s: building [%d/%d]' "$script_name" "$done" "$total" >&2
    elif [ $((done * 10 / total)) -gt "$shown" ]; then
      shown=$((done * 10 / total))
      say "building [$done/$total]"
    fi
  done
  if [ "$terminal" -eq 1 ] && [ -n "${done:-}" ]; then
    printf '\n' >&2
  fi
}

# build PRESET TARGET...: builds with its progress shown.
build() {
  local preset=$1 log status=0
  shift
  local targets=()
  if [ $# -gt 0 ]; then
    targets=(--target "$@")
  fi
  say "building ${*:-everything} in build/$preset"
  log=$(mktemp "${TMPDIR:-/tmp}/talvori-build.XXXXXX")
  cmake --build --preset "$preset" "${targets[@]}" 2>&1 | show_progress "$log" || status=$?
  if [ "$status" -ne 0 ]; then
    show_failure "$log"
    say "the build failed (exit $status): cmake --build --preset $preset ${targets[*]}"
    rm -f "$log"
    return "$status"
  fi
  rm -f "$log"
}
