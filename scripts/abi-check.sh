#!/usr/bin/env bash
# Guards the binary interface of libsysdataproduct against its committed
# baseline, abi/<SONAME>.<arch>.abi (abidw's format, per architecture).
#
#   scripts/abi-check.sh [BUILD_DIR]            compare (default build/default)
#   scripts/abi-check.sh --update [BUILD_DIR]   rewrite this SONAME's baseline
#
# Compatible changes (a function added) pass and are shown. An incompatible
# one (a symbol removed, a size or a vtable slot changed) fails: the library's
# SONAME version must then go up (SOVERSION in CMakeLists.txt) and the new
# SONAME's baseline be written with --update, in the same commit. A SONAME
# without a baseline fails too, and so does a baseline rewritten for the same
# SONAME to hide an incompatible change: the library is also compared with
# the baseline as it was first committed for its SONAME.
set -euo pipefail
cd "$(dirname "$0")/.."

update=0
if [ "${1:-}" = "--update" ]; then
  update=1
  shift
fi
build="${1:-build/default}"
lib="$build/libsysdataproduct.so"
for tool in abidw abidiff readelf; do
  command -v "$tool" >/dev/null || { echo "abi-check: $tool is missing (Debian: abigail-tools, binutils)" >&2; exit 2; }
done
[ -e "$lib" ] || { echo "abi-check: no $lib; build first" >&2; exit 2; }

soname=$(readelf -d "$lib" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
case "$(readelf -h "$lib" | sed -n 's/^ *Machine: *//p')" in
  *X86-64*) arch=amd64 ;;
  ARM) arch=armhf ;;
  *) echo "abi-check: unknown architecture of $lib" >&2; exit 2 ;;
esac
baseline="abi/$soname.$arch.abi"
# Locations and build paths would tie the baseline to one checkout.
abidw_flags=(--no-corpus-path --no-show-locs --no-comp-dir-path)

if ((update)); then
  abidw "${abidw_flags[@]}" --out-file "$baseline" "$lib"
  echo "abi-check: wrote $baseline"
  exit 0
fi

if [ ! -f "$baseline" ]; then
  echo "abi-check: no baseline $baseline for $soname on $arch." >&2
  echo "  A new SONAME needs its baseline in the same commit: scripts/abi-check.sh --update $build" >&2
  exit 1
fi

current=$(mktemp)
original=$(mktemp)
trap 'rm -f "$current" "$original"' EXIT
abidw "${abidw_flags[@]}" --out-file "$current" "$lib"

# compare <baseline file> <what it is>: 0 same or compatible, 1 incompatible.
compare() {
  local report rc
  set +e
  report=$(abidiff --no-show-locs "$1" "$current")
  rc=$?
  set -e
  # abidiff's status is a bit field: 1 error, 2 usage, 4 ABI change, 8 an
  # incompatible ABI change.
  if (( rc & 3 )); then
    echo "$report" >&2
    echo "abi-check: abidiff failed ($rc) on $2" >&2
    exit 2
  fi
  if (( rc & 8 )); then
    echo "$report"
    echo "abi-check: $soname on $arch: INCOMPATIBLE change against $2." >&2
    echo "  If it is meant: raise SOVERSION in CMakeLists.txt and write the new baseline" >&2
    echo "  (scripts/abi-check.sh --update $build) in the same commit." >&2
    return 1
  fi
  if (( rc & 4 )); then
    echo "$report"
    echo "abi-check: $soname on $arch: compatible changes against $2"
  else
    echo "abi-check: $soname on $arch: same ABI as $2"
  fi
}

status=0
compare "$baseline" "$baseline" || status=1
# A baseline rewritten without a new SONAME must not hide an incompatible
# change: the library must also be compatible with the baseline as this
# SONAME's was first committed.
if git rev-parse --git-dir >/dev/null 2>&1; then
  first=$(git log --diff-filter=A --format=%H -- "$baseline" | tail -n 1)
  if [ -n "$first" ] && git show "$first:$baseline" >"$original" 2>/dev/null && ! cmp -s "$original" "$baseline"; then
    compare "$original" "$baseline as first committed ($first)" || status=1
  fi
fi
exit $status
