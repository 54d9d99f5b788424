#!/usr/bin/env bash
# The main job in one command: builds sysdatactl, makes a simulated head unit
# of a default variant in a temporary directory, boots it, imports and
# applies the sample dealer customization (examples/dealer), exports the
# settings to a "USB" directory, checks the unit, and prints what changed.
#
#   scripts/demo.sh [--keep] [--variant NAME]
#     --keep           keep the temporary directory (the unit and the USB copy)
#     --variant NAME   the unit's variant (default VH-C306; see 'sysdatactl variants')
#   First installs the packages the build needs that the machine lacks
#   (scripts/deps.sh build; SYSDATA_NO_INSTALL=1 skips that).
set -euo pipefail
cd "$(dirname "$0")/.."

keep=0
variant=VH-C306
while [ $# -gt 0 ]; do
  case "$1" in
    --keep) keep=1 ;;
    --variant)
      [ $# -ge 2 ] || { echo "demo.sh: --variant needs a name" >&2; exit 2; }
      variant=$2
      shift
      ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
  shift
done

scripts/deps.sh build
echo "==> building sysdatactl (preset default)"
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target sysdatactl >/dev/null
tool=$PWD/build/default/tools/sysdatactl
dealer=$PWD/examples/dealer/dop_customize.txt

work=$(mktemp -d "${TMPDIR:-/tmp}/sysdata-demo.XXXXXX")
finish() {
  if [ "$keep" = 1 ]; then
    echo
    echo "kept: unit in $work/unit, USB copy in $work/usb"
    echo "      try: $tool --root $work/unit show Mic.ini"
  else
    rm -rf "$work"
  fi
}
trap finish EXIT

unit=$work/unit
usb=$work/usb
ctl() { "$tool" --root "$unit" "$@"; }
step() { printf '\n==> sysdatactl %s\n' "$*"; }

step create "$variant"
ctl create "$variant"
step boot
ctl boot
ctl dump >"$work/before.txt"

step customize check "${dealer#"$PWD"/}"
ctl customize check "$dealer"
step customize import "${dealer#"$PWD"/}"
ctl customize import "$dealer"
step customize apply
ctl customize apply
ctl dump >"$work/after.txt"

step export USB
ctl export "$usb"
step verify
ctl verify

printf '\n==> what the dealer customization changed\n'
# dump lines are FILE:KEY=VALUE (FILE:<binary ...> for binary files); show
# each setting whose value is new or changed.
awk '
  function parse(line) {
    colon = index(line, ":"); eq = index(line, "=")
    file = substr(line, 1, colon - 1)
    if (eq == 0) { key = ""; value = substr(line, colon + 1) }
    else { key = substr(line, colon + 1, eq - colon - 1); value = substr(line, eq + 1) }
  }
  FNR == NR { parse($0); before[file SUBSEP key] = value; next }
  {
    parse($0)
    if (!((file SUBSEP key) in before)) old = "(unset)"
    else if (before[file SUBSEP key] != value) old = before[file SUBSEP key]
    else next
    printf "  %-26s %-24s %s -> %s\n", file, key, old, value
    changed++
  }
  END { printf "  %d settings changed\n", changed }
' "$work/before.txt" "$work/after.txt"

count=$(find "$usb" -maxdepth 1 -type f ! -name '.*' | wc -l)
printf '\n==> USB: %s files exported to %s\n' "$count" "$usb"
