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
# without a baseline fails too.
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
trap 'rm -f "$current"' EXIT
abidw "${abidw_flags[@]}" --out-file "$current" "$lib"
set +e
report=$(abidiff --no-show-locs "$baseline" "$current")
rc=$?
set -e
# abidiff's status is a bit field: 1 error, 2 usage, 4 ABI change, 8 an
# incompatible ABI change.
if (( rc & 3 )); then
  echo "$report" >&2
  echo "abi-check: abidiff failed ($rc)" >&2
  exit 2
fi
if (( rc & 8 )); then
  echo "$report"
  echo "abi-check: $soname on $arch: INCOMPATIBLE change against $baseline." >&2
  echo "  If it is meant: raise SOVERSION in CMakeLists.txt and write the new baseline" >&2
  echo "  (scripts/abi-check.sh --update $build) in the same commit." >&2
  exit 1
fi
if (( rc & 4 )); then
  echo "$report"
  echo "abi-check: $soname on $arch: compatible changes against $baseline"
else
  echo "abi-check: $soname on $arch: same ABI as $baseline"
fi
