#!/usr/bin/env bash
# The SLURM scripts of docs/suites.md, run as they stand on a one-node
# cluster started here (munged, slurmctld and slurmd as root, every state,
# spool and log file in a scratch folder): the sharded make as a job array,
# the final make after it, verify, the export, the solver loop as a job
# array with a stand-in solver, and the results table. The daemons started
# here are stopped at the end, whatever happens.
# Where no cluster can start (not root, SLURM or MUNGE missing, a daemon
# that does not come up) it says so and skips (status 77); under CI=true
# that is a failure.
# Usage: slurm_cluster.sh SOURCE_DIR SHEETGEN SHEETKIT
set -euo pipefail
source_dir=$(realpath "$1")
sheetgen=$(realpath "$2")
sheetkit=$(realpath "$3")
page=$source_dir/docs/suites.md

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
skip() {
  [ "${CI:-}" != true ] || fail "no SLURM cluster could start, and CI runs this test: $*"
  echo "SKIPPED: no SLURM cluster could start: $*"
  exit 77
}

[ "$(id -u)" = 0 ] || skip "starting one needs root"
for program in munged slurmctld slurmd sbatch sinfo; do
  command -v "$program" >/dev/null ||
    skip "$program is not installed (Debian: apt-get install slurm-wlm munge)"
done

work=$(mktemp -d)
daemons=()  # the pids started here, in the order they were started
stop_daemons() {
  local i pid tries
  for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
    pid=${daemons[i]}
    kill "$pid" 2>/dev/null || continue
    for ((tries = 0; tries < 50; tries++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  daemons=()
}
trap 'stop_daemons; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT

# script NAME: the block of docs/suites.md after <!-- slurm: NAME -->.
script() {
  local text
  text=$(awk -v mark="<!-- slurm: $1 -->" '
    $0 == mark { found = 1; next }
    found == 1 && /^```/ { found = 2; next }
    found == 2 && /^```/ { exit }
    found == 2 { print }
    found == 1 { exit }' "$page")
  [ -n "$text" ] || fail "docs/suites.md has no script $1 (a block after <!-- slurm: $1 -->)"
  printf '%s\n' "$text"
}

# --- the cluster ----------------------------------------------------------
cluster=$work/cluster
mkdir -p "$cluster/state" "$cluster/spool" "$cluster/log"
node=$(hostname -s)
read -r controller_port node_port < <(python3 -c '
import socket
sockets = [socket.socket() for _ in range(2)]
for s in sockets:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in sockets))')
head -c 1024 /dev/urandom >"$cluster/munge.key"
chmod 400 "$cluster/munge.key"
cat >"$cluster/slurm.conf" <<EOF
ClusterName=sheetgen-ci
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$cluster/munge.socket
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
# The node claims what it is told, so that every task of an array runs at once.
SlurmdParameters=config_overrides
# A job whose dependency can no longer be met ends, rather than waiting for ever.
DependencyParameters=kill_invalid_depend
ReturnToService=2
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$cluster/log/slurmctld.log
SlurmdLogFile=$cluster/log/slurmd.log
NodeName=$node NodeAddr=127.0.0.1 CPUs=64 State=UNKNOWN
PartitionName=ci Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$cluster/slurm.conf

munged -F -f --key-file="$cluster/munge.key" --socket="$cluster/munge.socket" \
  --pid-file="$cluster/munged.pid" --seed-file="$cluster/munged.seed" \
  --log-file="$cluster/log/munged.log" >"$cluster/log/munged.out" 2>&1 &
daemons+=($!)
for ((tries = 0; tries < 50; tries++)); do
  [ -S "$cluster/munge.socket" ] && break
  kill -0 "${daemons[0]}" 2>/dev/null || break
  sleep 0.2
done
[ -S "$cluster/munge.socket" ] || skip "munged did not start: $(tail -n 3 "$cluster/log/munged.out")"
slurmctld -D -i >"$cluster/log/slurmctld.out" 2>&1 &
daemons+=($!)
slurmd -D -N "$node" >"$cluster/log/slurmd.out" 2>&1 &
daemons+=($!)
state=
for ((tries = 0; tries < 100; tries++)); do
  state=$(sinfo -h -n "$node" -o %t 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 0.3
done
[ "$state" = idle ] || skip "the node is '${state:-unknown}' after 30 s: $(tail -n 3 "$cluster/log/slurmctld.log" "$cluster/log/slurmd.log" 2>&1)"
echo "a one-node SLURM cluster on $node (ports $controller_port, $node_port)"

# --- the stand-in solver --------------------------------------------------
# PackingSolver's command line and certificate: items placed bottom-left
# first, largest first, on free spots beside the object's corner, the
# defects and the items placed before; the rest left out.
bin=$work/bin
mkdir -p "$bin"
ln -s "$sheetkit" "$bin/sheetkit"
ln -s "$sheetgen" "$bin/sheetgen"
cat >"$bin/packingsolver_rectangle" <<'EOF'
#!/usr/bin/python3
import csv, json, os, sys

# --name value, or a flag alone (--only-write-at-the-end).
args, words = {}, sys.argv[1:]
for i, word in enumerate(words):
    if word.startswith("--"):
        given = i + 1 < len(words) and not words[i + 1].startswith("--")
        args[word] = words[i + 1] if given else True
def rows(name):
    if not os.path.exists(args[name]):
        return []
    with open(args[name], newline="") as f:
        return list(csv.DictReader(f))
(bin_,) = rows("--bins")
length, width = int(bin_["WIDTH"]), int(bin_["HEIGHT"])
taken = [(int(d["X"]), int(d["Y"]), int(d["WIDTH"]), int(d["HEIGHT"])) for d in rows("--defects")]
def free(x, y, l, w):
    return x + l <= length and y + w <= width and all(
        x + l <= a or a + c <= x or y + w <= b or b + d <= y for a, b, c, d in taken)
lines = ["TYPE,ID,COPIES,BIN,X,Y,LX,LY,GROUP_ID",
         f"BIN,0,1,0,0,0,{length},{width},"]
lines += [f"DEFECT,{k},1,0,{a},{b},{c},{d}," for k, (a, b, c, d) in enumerate(taken)]
# An item type's ID is its row.
items = sorted(enumerate(rows("--items")), key=lambda r: -int(r[1]["WIDTH"]) * int(r[1]["HEIGHT"]))
for number, item in items:
    l, w = int(item["WIDTH"]), int(item["HEIGHT"])
    for _ in range(int(item.get("COPIES") or 1)):
        spots = sorted({(0, 0)} | {(a + c, b) for a, b, c, d in taken} |
                       {(a, b + d) for a, b, c, d in taken}, key=lambda p: (p[1], p[0]))
        spot = next((p for p in spots if free(*p, l, w)), None)
        if spot is None:
            break
        taken.append((*spot, l, w))
        lines.append(f"ITEM,{number},1,0,{spot[0]},{spot[1]},{l},{w},0")
with open(args["--certificate"], "w") as f:
    f.write("\n".join(lines) + "\n")
with open(args["--output"], "w") as f:
    json.dump({"Output": {"Time": 0.0}}, f)
EOF
chmod +x "$bin/packingsolver_rectangle"
export PATH="$bin:$PATH" LC_ALL=C

# --- the docs' scripts, in a folder every job shares ----------------------
shared=$work/shared
mkdir -p "$shared"
cd "$shared"
cp "$source_dir/examples/suite.json" suite.json
script make.sh >make.sh
script submit_make.sh >submit_make.sh
script solve.sh >solve.sh

timeout 90 bash submit_make.sh >submit.out 2>&1 ||
  fail "the docs' make jobs failed (status $?): $(cat submit.out slurm-*.out 2>/dev/null | tail -n 20)"
tasks=$(find . -maxdepth 1 -name 'slurm-*_*.out' | wc -l)
[ "$tasks" = 16 ] || fail "the make array ran $tasks tasks, not 16: $(ls)"
[ -f glass/manifest.tsv ] || fail "no manifest after the final make: $(cat submit.out slurm-*.out | tail -n 20)"
# The shards and the final make together: the bytes of one make in one go.
sheetkit suite make suite.json -o "$work/in-one-go" >/dev/null
cmp -s glass/manifest.tsv "$work/in-one-go/manifest.tsv" ||
  fail "the cluster's manifest differs from one make's: $(diff glass/manifest.tsv "$work/in-one-go/manifest.tsv" | head -n 5)"
sheetkit suite verify glass >verify.out 2>&1 || fail "suite verify: $(tail -n 5 verify.out)"
echo "made by 16 shards and a final job, verified: $(tail -n 1 verify.out)"

sheetkit suite export glass --to packingsolver -o glass-out >export.out 2>&1 ||
  fail "suite export: $(cat export.out)"
timeout 90 sbatch --wait solve.sh >solve.out 2>&1 ||
  fail "the docs' solver jobs failed (status $?): $(tail -n 5 solve.out slurm-*.out)"
job=$(sed -n 's/^Submitted batch job \([0-9]*\)$/\1/p' solve.out)
tasks=$(find . -maxdepth 1 -name "slurm-${job}_*.out" | wc -l)
[ -n "$job" ] && [ "$tasks" = 16 ] || fail "the solver array ran $tasks tasks, not 16: $(cat solve.out)"
folders=$(find glass-out -name items.csv | wc -l)
solved=$(find glass-out -name rectangle.csv | wc -l)
[ "$folders" -gt 0 ] && [ "$solved" = "$folders" ] ||
  fail "$solved certificates for $folders instances"

status=0
sheetkit suite results glass glass-out --format csv >results.csv 2>results.err || status=$?
[ "$status" = 0 ] || fail "suite results (status $status): $(cat results.err results.csv | head -n 10)"
# One row per class for the one solver, every instance found and feasible.
python3 - "$folders" <<'EOF' || fail "the results table: $(cat results.csv)"
import csv, sys
rows = list(csv.DictReader(open("results.csv")))
assert {r["solver"] for r in rows} == {"rectangle"}, rows
assert sum(int(r["instances"]) for r in rows) == int(sys.argv[1]), rows
for r in rows:
    assert r["found"] == r["feasible"] == r["instances"], r
    assert r["infeasible"] == r["missing"] == "0", r
    assert 0 < float(r["utilisation_mean"]) <= 1, r
EOF
echo "solved by the docs' job array: $solved certificates, all feasible"
stop_daemons
echo "the docs' SLURM scripts run as they stand"
