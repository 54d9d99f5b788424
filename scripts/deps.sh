#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that this machine
# lacks, for the groups named (build, test, packages, ci; all = every group).
# Nothing is installed, and nothing asked, when every package is there.
#
#   scripts/deps.sh GROUP...          install what is missing: apt-get as
#                                     root, sudo apt-get otherwise
#   scripts/deps.sh --list GROUP...   print the packages of the groups
#   scripts/deps.sh --missing GROUP...  print the ones not installed
#
# SYSDATA_NO_INSTALL=1 installs nothing: the missing packages are named and
# the caller goes on (its build then says what it lacks).
set -euo pipefail
list=$(dirname "$0")/packages.txt
me=scripts/deps.sh

mode=install
case "${1:-}" in
  --list) mode=list; shift ;;
  --missing) mode=missing; shift ;;
  -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
[ $# -gt 0 ] || { echo "$me: name a group (build, test, packages, ci, all)" >&2; exit 2; }

packages=()
for group in "$@"; do
  case "$group" in
    build|test|packages|ci|all) ;;
    *) echo "$me: unknown group '$group' (build, test, packages, ci, all)" >&2; exit 2 ;;
  esac
  while read -r name groups; do
    [ "$group" = all ] || [[ " $groups " == *" $group "* ]] || continue
    [[ " ${packages[*]-} " == *" $name "* ]] || packages+=("$name")
  done < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$list")
done

if [ "$mode" = list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

if ! command -v dpkg-query >/dev/null 2>&1; then
  # Not Debian: the names may differ; the build says what it lacks.
  [ "$mode" = missing ] && exit 0
  echo "$me: not a Debian system; this project needs (Debian names): ${packages[*]}" >&2
  exit 0
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$mode" = missing ]; then
  ((${#missing[@]} == 0)) || printf '%s\n' "${missing[@]}"
  exit 0
fi
((${#missing[@]})) || exit 0

if [ "${SYSDATA_NO_INSTALL:-}" = 1 ]; then
  echo "$me: SYSDATA_NO_INSTALL=1: not installing the missing packages: ${missing[*]}" >&2
  exit 0
fi
if [ "$(id -u)" = 0 ]; then
  as_root() { DEBIAN_FRONTEND=noninteractive "$@"; }
elif command -v sudo >/dev/null 2>&1; then
  as_root() { sudo "$@"; }
else
  echo "$me: missing packages and no sudo: run as root or install: ${missing[*]}" >&2
  exit 1
fi
echo "==> installing the missing packages: ${missing[*]}"
started=$SECONDS
# A bare system may have no package lists yet (a fresh debootstrap, a
# container image): read them first.
if ! as_root apt-get update -qq >/dev/null ||
   ! as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  echo "$me: could not install them: run as root or install: ${missing[*]}" >&2
  exit 1
fi
echo "==> installed them in $((SECONDS - started)) s"
