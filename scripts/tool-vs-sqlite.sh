#!/usr/bin/env bash
# Whole-process timings of the tool against the sqlite3 command-line tool,
# paired by hyperfine (Debian package "hyperfine"): a point read of one
# common setting, and a durable write of one.
#
#   scripts/tool-vs-sqlite.sh [--runs N] [--rounds R] [--tool PATH] [--update-docs]
#
# Both sides start a process, open their store and do one key:
#   get:  sysdatactl get BeepVol          vs  sqlite3 DB "select v from s where k='BeepVol'"
#   set:  sysdatactl set beep-vol V       vs  sqlite3 DB "pragma synchronous=full; update s set v=V where k='BeepVol'"
# A write is only timed when it changes something: hyperfine's --prepare
# (not timed) sets the other value first, on both sides.
#
# The unit and the database live side by side in one temporary directory on
# the disk of the build tree (a unit's files would be on that disk too).
# Ratios count, absolute times move with the disk and the load: the script
# prints the load average before it starts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

runs=100
rounds=3
tool=""
update_docs=0
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --tool) tool=$2; shift ;;
    --update-docs) update_docs=1 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "tool-vs-sqlite.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
  esac
  shift
done
for cmd in hyperfine sqlite3 python3; do  # scripts/deps.sh ci brings the first two
  command -v "$cmd" >/dev/null || { echo "tool-vs-sqlite.sh: needs $cmd (apt-get install $cmd)" >&2; exit 2; }
done
if [ -z "$tool" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j2 --target sysdatactl >/dev/null
  tool=$root/build/default/tools/sysdatactl
fi

mkdir -p "$root/build/perf"
work=$(mktemp -d "$root/build/perf/run.XXXXXX")
trap 'rm -rf "$work"' EXIT
unit=$work/unit
db=$work/settings.db
"$tool" --root "$unit" create VH-C306 >/dev/null
"$tool" --root "$unit" boot >/dev/null
"$tool" --root "$unit" set beep-vol 3 >/dev/null
sqlite3 "$db" "create table s(k text primary key, v integer);" \
  "insert into s values('BeepVol', 3), ('BeepOnOff', 1), ('SystemLang', 2), ('VoiceLang', 2), ('TimeZone', 78);"

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (cores: $(nproc)), $rounds rounds of $runs runs each"
ctl="$tool --root $unit"
sql() { printf '%s' "sqlite3 $db \"$1\""; }
# Rounds alternate the two sides' blocks, so a drift of the disk or the load
# touches both; the ratio of each round's medians is taken, then the median.
for ((r = 1; r <= rounds; r++)); do
  hyperfine -N --style none --warmup 20 --runs "$runs" --export-json "$work/get.$r.json" \
    -n "sysdatactl get" "$ctl get BeepVol" \
    -n "sqlite3 select" "$(sql "select v from s where k='BeepVol'")" >/dev/null
  hyperfine -N --style none --warmup 10 --runs "$runs" --export-json "$work/set.$r.json" \
    --prepare "$ctl set beep-vol 4" -n "sysdatactl set" "$ctl set beep-vol 5" \
    --prepare "$(sql "pragma synchronous=full; update s set v=4 where k='BeepVol'")" \
    -n "sqlite3 update (synchronous=full)" "$(sql "pragma synchronous=full; update s set v=5 where k='BeepVol'")" >/dev/null
done

python3 - "$work" "$rounds" "$update_docs" "$root/docs/performance.md" <<'PY'
import json, statistics, sys, time, os
work, rounds, update, page = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "1", sys.argv[4]
goals = {"get": 1.00, "set": 0.85}
rows = []
for op in ("get", "set"):
    tool, peer, ratios, name = [], [], [], None
    for r in range(1, rounds + 1):
        res = json.load(open(f"{work}/{op}.{r}.json"))["results"]
        t, p = res[0]["median"], res[1]["median"]
        name = res[1]["command"]
        tool.append(t); peer.append(p); ratios.append(t / p)
    ratio = statistics.median(ratios)
    goal = goals[op]
    rows.append((f"sysdatactl {op}", statistics.median(tool) * 1e3, name, statistics.median(peer) * 1e3,
                 ratio, f"<= {goal:.2f}: {'met' if ratio <= goal else 'MISSED'}"))
load = open("/proc/loadavg").read().split()[:3]
lines = [f"Run of {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}, load average {' '.join(load)} at the end, "
         f"median of {rounds} rounds.", "",
         "| Command | Median | Peer | Its median | Ratio | Goal |", "|---|---:|---|---:|---:|---|"]
for op, t, peer, p, ratio, goal in rows:
    lines.append(f"| `{op}` | {t:.2f} ms | `{peer}` | {p:.2f} ms | {ratio:.2f} | {goal} |")
table = "\n".join(lines)
print(table)
if update:
    text = open(page).read()
    begin, end = "<!-- tool:results:begin -->", "<!-- tool:results:end -->"
    if begin not in text:
        sys.exit("tool-vs-sqlite.sh: docs/performance.md has no " + begin)
    head, rest = text.split(begin, 1)
    _, tail = rest.split(end, 1)
    open(page, "w").write(head + begin + "\n\n" + table + "\n\n" + end + tail)
    print("updated " + page)
PY
