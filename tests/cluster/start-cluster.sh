# Sourced by the cluster tests: starts a single-node Slurm cluster of its own on this machine and
# stops it again when the sourcing script exits, however it exits.
#
# munged runs with a key of its own, slurmctld and slurmd listen on free loopback ports, and
# their configuration, state and logs live in a temporary folder ($cluster). Nothing of the
# system's own munge or Slurm configuration is read or changed: the clients find this cluster
# through SLURM_CONF, which is exported. Every daemon is started by this script, stopped by its
# process id, and asked by the kernel to die with this script should it be killed outright.
#
# Needs root (slurmd runs jobs as their users) and the Debian packages munge, slurmctld, slurmd
# and slurm-client; without them the test reports itself skipped (exit 77).

skip() {
    echo "SKIPPED: $*"
    exit 77
}
[ "$(id -u)" = 0 ] || skip "slurmd needs root"
for tool in munged slurmctld slurmd sbatch squeue scancel scontrol sinfo setpriv python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
# slurmctld and slurmd look up this machine's own name, and slurmd needs the control-group file
# system even when it tracks processes without it: a chroot or a bare container may give neither.
getent hosts "$(hostname)" >/dev/null || skip "this machine's name, $(hostname), does not resolve"
mountpoint -q /sys/fs/cgroup || skip "no control-group file system at /sys/fs/cgroup"

cluster=$(mktemp -d /tmp/ondrel-slurm.XXXXXX)
chmod 755 "$cluster" # munged insists that everyone may reach its socket
daemons=()

stop_cluster() {
    local pid
    if [ -n "${SLURM_CONF:-}" ]; then
        scancel --quiet --full "--user=$(id -un)" 2>/dev/null || true
    fi
    for pid in "${daemons[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${daemons[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$cluster"
}
trap stop_cluster EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts a daemon in the foreground of a child of this script, logging to $cluster/NAME.log.
start_daemon() {
    local name=$1
    shift
    setpriv --pdeathsig KILL "$@" >"$cluster/$name.log" 2>&1 &
    daemons+=($!)
}

# Prints the logs and fails.
cluster_failed() {
    echo "FAILED: $*"
    tail -n 20 "$cluster"/*.log
    exit 1
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

dd if=/dev/urandom of="$cluster/munge.key" bs=1024 count=1 status=none
chmod 400 "$cluster/munge.key"
start_daemon munged munged --foreground --key-file="$cluster/munge.key" \
    --socket="$cluster/munge.socket" --pid-file="$cluster/munged.pid" \
    --seed-file="$cluster/munged.seed"

mkdir -p "$cluster/state" "$cluster/spool"
export SLURM_CONF=$cluster/slurm.conf
host=$(hostname)
cat >"$SLURM_CONF" <<CONF
ClusterName=ondrel
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
CommunicationParameters=NoCtldInAddrAny,NoInAddrAny
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket=$cluster/munge.socket
CredType=cred/munge
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$cluster/slurmctld.log
SlurmdLogFile=$cluster/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
$(slurmd -C | head -n 1 | sed "s/^NodeName=[^ ]*/NodeName=$host/") NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=main Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF

for _ in $(seq 50); do
    [ -S "$cluster/munge.socket" ] && break
    sleep 0.1
done
[ -S "$cluster/munge.socket" ] || cluster_failed "munged did not start"
start_daemon slurmctld slurmctld -D -f "$SLURM_CONF"
start_daemon slurmd slurmd -D -f "$SLURM_CONF"
for _ in $(seq 300); do
    [ "$(sinfo -h -o %T 2>/dev/null)" = idle ] && break
    for pid in "${daemons[@]}"; do
        kill -0 "$pid" 2>/dev/null || cluster_failed "a daemon stopped while the cluster started"
    done
    sleep 0.1
done
[ "$(sinfo -h -o %T 2>/dev/null)" = idle ] || cluster_failed "the node did not become idle"

# Waits until the job has left the queue (at most $2 seconds, default 300).
wait_for_job() {
    local job=$1 limit=${2:-300}
    for _ in $(seq $((limit * 10))); do
        [ -z "$(squeue -h -j "$job" 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    cluster_failed "job $job did not finish within $limit s"
}
