#!/usr/bin/env bash
# The bash completion of sysdatactl, called as bash calls it: COMP_WORDS and
# COMP_CWORD set, then the completion function.
#
#   test-completion.sh COMPLETION-SCRIPT SYSDATACTL
#
# With the installed files: test-completion.sh \
#   /usr/share/bash-completion/completions/sysdatactl /usr/bin/sysdatactl
set -u
script=$1
tool=$2
[ -r "$script" ] || { echo "no completion script $script" >&2; exit 1; }
[ -x "$tool" ] || { echo "no tool $tool" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/sysdatactl-completion.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/usb/stick" "$scratch/unit"
: > "$scratch/dop_customize.txt"

# The tool is found as the user has it: by name on PATH.
bindir=$scratch/bin
mkdir -p "$bindir"
ln -s "$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")" "$bindir/sysdatactl"
PATH=$bindir:$PATH
# shellcheck source=/dev/null
. "$script"

failures=0
# complete LINE: the words of LINE as bash makes them (a trailing blank
# starts an empty word; "=" is a word of its own).
complete_line() {
    local line=$1
    read -r -a COMP_WORDS <<<"${line//=/ = }"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _sysdatactl
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
}

# Each case: the command line, how to judge the replies, the expected words.
#   exact  the replies are exactly these
#   has    the replies include these
#   all    every reply starts with the first word, and there are at least
#          as many replies as the second word says
#   none   no reply
cases=(
    "sysdatactl res|exact|reset"
    "sysdatactl cus|exact|customize"
    "sysdatactl customize ch|exact|check"
    "sysdatactl customize |exact|apply check import"
    "sysdatactl --root $scratch/unit boot|exact|boot"
    "sysdatactl show Sxm|has|SxmSetting.ini SxmTeamDb.ini"
    "sysdatactl show Sxm|all|Sxm 2"
    "sysdatactl show Mic|exact|Mic.ini"
    "sysdatactl get beep-|has|beep-vol beep-on-off"
    "sysdatactl get Beep|has|BeepVol"
    "sysdatactl get BEEP_V|exact|BEEP_VOL"
    "sysdatactl get 3|exact|3 30"
    "sysdatactl set beep-vol |none|"
    "sysdatactl reset gmapsupp|exact|gmapsupp.gma gmapsupp.unl"
    "sysdatactl reset Mic.ini Sxm|has|SxmSetting.ini"
    "sysdatactl create VH-C30|has|VH-C306"
    "sysdatactl create --for|exact|--force"
    "sysdatactl create --model |has|6"
    "sysdatactl --|has|--root --json --help --version"
    "sysdatactl get --|exact|--all --help --json --root"
    "sysdatactl info |none|"
    "sysdatactl export $scratch/usb/st|exact|$scratch/usb/stick"
    "sysdatactl --root $scratch/un|exact|$scratch/unit"
    "sysdatactl customize check $scratch/dop|exact|$scratch/dop_customize.txt"
    "sysdatactl nosuchcommand |none|"
    "sysdatactl --root=$scratch/un|exact|$scratch/unit"
    "sysdatactl --root=$scratch/unit sh|exact|show"
    "sysdatactl --root=$scratch/unit show Mic|exact|Mic.ini"
    "sysdatactl create --model=|has|6"
    "sysdatactl create --destination=1|all|1 1"
    "sysdatactl create --force=|none|"
)

for row in "${cases[@]}"; do
    IFS='|' read -r line how expected <<<"$row"
    got=$(complete_line "$line")
    ok=1
    case $how in
        exact)
            [ "$got" = "$(tr ' ' '\n' <<<"$expected" | sort)" ] || ok=0
            ;;
        has)
            for word in $expected; do
                grep -qxF -- "$word" <<<"$got" || ok=0
            done
            ;;
        all)
            read -r prefix least <<<"$expected"
            [ "$(grep -c . <<<"$got")" -ge "$least" ] || ok=0
            grep -v -- "^$prefix" <<<"$got" | grep -q . && ok=0
            ;;
        none)
            [ -z "$got" ] || ok=0
            ;;
    esac
    if ((ok)); then
        echo "ok    '$line' ($how $expected)"
    else
        echo "FAIL  '$line': expected ($how) '$expected', got:" $got
        failures=$((failures + 1))
    fi
done
if ((failures)); then
    echo "$failures completion case(s) failed"
    exit 1
fi
