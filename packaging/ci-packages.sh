#!/usr/bin/env bash
# The Debian packages, end to end (as root, on a machine of this project's
# kind):
#  1. amd64 packages from build/default, checked by lintian, installed with
#     apt-get; the minimal host boots the installed product library, which
#     needs nothing of ours; a program outside the tree is built against them
#     (find_package and pkg-config), man finds sysdatactl(1), bash completes
#     from the installed completion;
#  2. armhf packages from the armhf preset's build, checked by lintian, by
#     their ARM objects and by their file lists against amd64's;
#  3. every package removed again, on failure too.
# Safe to run again: packages left by an earlier run are purged first.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive

[ "$(id -u)" = 0 ] || { echo "packages: needs root (apt-get install and purge)" >&2; exit 1; }
packages=(sysdatactl libsysdataproduct-dev libsysdataproduct2 libtqplatform1)
arm_triplet=arm-linux-gnueabihf
host_triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

purge() {
    local present=() p status
    for p in "${packages[@]}"; do
        status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null) || continue
        [ "$status" = not-installed ] || present+=("$p")
    done
    if ((${#present[@]})); then
        apt-get purge -y -qq "${present[@]}" >/dev/null
    fi
}
work=$(mktemp -d "${TMPDIR:-/tmp}/sysdata-packages.XXXXXX")
cleanup() {
    local rc=$?
    purge || rc=1
    rm -rf "$work"
    exit $rc
}
trap cleanup EXIT
purge

check() { printf -- '--- %s\n' "$1"; }
lint() {
    # Errors fail; warnings are listed (packaging/README.md says which stay
    # and why).
    local out rc=0
    out=$(lintian --fail-on error "$@" 2>&1) || rc=$?
    grep -v '^running with root privileges' <<<"$out" || true
    return $rc
}
# The paths of a package with the architecture's triplet made neutral.
file_list() { dpkg-deb --contents "$1" | awk '{print $6}' | sed "s/$2/TRIPLET/g" | sort; }

check "amd64 packages (build/default)"
cmake --preset default >/dev/null
cmake --build --preset default -j2
rm -f build/default/*.deb
(cd build/default && cpack -G DEB >/dev/null)
amd64_debs=(build/default/*.deb)
ls -1 "${amd64_debs[@]}"
lint "${amd64_debs[@]}"

check "install with apt-get"
apt-get install -y -qq "${amd64_debs[@]/#/./}" >/dev/null
for p in "${packages[@]}"; do dpkg-query -W -f='${Package} ${Version} ${Status}\n' "$p"; done

check "the installed product library: nothing of ours needed, the minimal host boots it"
installed_lib=/usr/lib/$host_triplet/libsysdataproduct.so.2
if readelf -d "$installed_lib" | grep NEEDED | grep -E 'tqplatform|sysdata'; then
    echo "$installed_lib needs a library of ours"
    exit 1
fi
dpkg-query -W -f='${Depends}\n' libsysdataproduct2 | grep -v -E 'tqplatform' >/dev/null ||
    { echo "libsysdataproduct2 depends on the stand-in's package"; exit 1; }
build/default/tests/minimal_host/minimal_host "$installed_lib" build/default/tests/minimal_host/libminimal_host_boot.so |
    grep -F "minimal host: loaded $(readlink -f "$installed_lib")"

check "the installed tool: a static program, its package needs no other"
if readelf -d /usr/bin/sysdatactl | grep NEEDED; then
    echo "/usr/bin/sysdatactl loads libraries"
    exit 1
fi
[ -z "$(dpkg-query -W -f='${Depends}' sysdatactl)" ] ||
    { echo "sysdatactl depends on: $(dpkg-query -W -f='${Depends}' sysdatactl)"; exit 1; }

check "a program built against the installed packages (find_package, pkg-config)"
cmake -DINSTALLED=/usr -DCONSUMER_DIR="$PWD/tests/tool/consumer" -DWORK_DIR="$work/consumer" \
      -DCXX=g++ -DLIBDIR="lib/$host_triplet" -P tests/tool/consumer/run_consumer.cmake
sysdatactl --version

check "man -w sysdatactl"
page=$(man -w sysdatactl)
echo "$page"
[ "$page" = /usr/share/man/man1/sysdatactl.1.gz ]
man -P cat sysdatactl >"$work/sysdatactl.txt" 2>/dev/null
grep "EXIT STATUS" "$work/sysdatactl.txt" >/dev/null

check "bash completion from the installed files"
# bash-completion loads it on demand by the command's name.
bash -c '. /usr/share/bash-completion/bash_completion && __load_completion sysdatactl &&
         complete -p sysdatactl' | grep -- '-F _sysdatactl sysdatactl'
bash packaging/test-completion.sh /usr/share/bash-completion/completions/sysdatactl /usr/bin/sysdatactl

check "armhf packages (armhf preset, with the tool)"
# The tool is built for the package only; its manual page comes from the
# native tool, which prints the same page.
# Header-only libraries the tool uses are the same for every architecture;
# the cross build looks for packages only in the target's root otherwise.
header_only=()
if [ -d /usr/share/cmake/nlohmann_json ]; then
    header_only+=(-Dnlohmann_json_DIR=/usr/share/cmake/nlohmann_json)
fi
cmake --preset armhf -DSYSDATA_BUILD_TOOLS=ON -DSYSDATA_HOST_SYSDATACTL="$PWD/build/default/tools/sysdatactl" \
      -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON ${header_only[@]+"${header_only[@]}"} >/dev/null
cmake --build --preset armhf -j2 --target sysdataproduct tqplatform sysdatactl sysdatactl_manual sysdata_package_docs
rm -f build/armhf/*.deb
(cd build/armhf && cpack -G DEB >/dev/null)
armhf_debs=(build/armhf/*.deb)
ls -1 "${armhf_debs[@]}"
lint "${armhf_debs[@]}"

check "armhf contents: ARM objects, the same files as amd64"
for deb in "${armhf_debs[@]}"; do
    name=$(dpkg-deb -f "$deb" Package)
    [ "$(dpkg-deb -f "$deb" Architecture)" = armhf ]
    amd64_deb=$(ls build/default/"${name}"_*_amd64.deb)
    diff <(file_list "$amd64_deb" "$host_triplet") <(file_list "$deb" "$arm_triplet") ||
        { echo "$name: the armhf file list differs from amd64's"; exit 1; }
    dir=$work/armhf/$name
    mkdir -p "$dir"
    dpkg-deb -x "$deb" "$dir"
    objects=0
    while IFS= read -r -d '' f; do
        kind=$(file -b "$f")
        case $kind in
            ELF*)
                [[ $kind == *"32-bit LSB"*ARM* ]] || { echo "$name: not a 32-bit ARM object: $f: $kind"; exit 1; }
                objects=$((objects + 1))
                ;;
        esac
    done < <(find "$dir" -type f -print0)
    echo "$name: $objects ARM object(s), $(file_list "$deb" "$arm_triplet" | wc -l) paths as on amd64"
    case $name in
        *-dev) ;;
        *) ((objects > 0)) || { echo "$name: no ARM object"; exit 1; } ;;
    esac
done
# One manual page for both architectures.
cmp "$work/armhf/sysdatactl/usr/share/man/man1/sysdatactl.1.gz" /usr/share/man/man1/sysdatactl.1.gz

check "remove the packages"
purge
if [ -e /usr/bin/sysdatactl ] || man -w sysdatactl >/dev/null 2>&1; then
    echo "sysdatactl is still installed"
    exit 1
fi
echo "packages: ok"
