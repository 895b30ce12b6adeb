#!/bin/bash
# A private one-node Slurm cluster for the scheduler tests.
#
#   slurm_cluster.sh start DIR   write DIR/slurm.conf, start munged, slurmctld and slurmd, wait until
#                                the node is idle; every pid goes to DIR/pids
#   slurm_cluster.sh stop DIR    cancel the cluster's jobs, then end exactly the recorded processes
#
# Every Slurm command needs SLURM_CONF=DIR/slurm.conf (DIR/env exports it). Jobs run as root in the
# folder sbatch was called from. The node is `hostname -s` at 127.0.0.1 with 2 CPUs whatever the
# hardware, partition workq; no accounting, no cgroups, no systemd.
#
# Exit status of start: 0 up; 77 Slurm cannot run here (programs missing, not root); 1 it failed to
# come up (the processes it started are stopped again). DIR must be short: Slurm makes unix sockets
# below it whose paths must fit in 107 bytes.
set -u
export PATH="$PATH:/usr/sbin:/sbin"

say() { echo "slurm_cluster: $*" >&2; }

# The process helpers read /proc with builtins only: a fork costs tens of milliseconds on a small VM.

# Sets STATE, PPID_OF and START of pid $1 from /proc/PID/stat; fails when there is no such process.
read_stat() {
    local s f
    read -r s 2>/dev/null < "/proc/$1/stat" || return 1
    read -r -a f <<< "${s##*) }"
    STATE=${f[0]} PPID_OF=${f[1]} START=${f[19]}
}
# A pid names the same process only together with its start time; a zombie has ended.
same_process() { read_stat "$1" && [ "$STATE" != Z ] && [ "$START" = "$2" ]; }

# FOUND: every descendant of the pids given, from one pass over /proc.
descendants() {
    local queue="$*" f pid
    declare -A kids=()
    for f in /proc/[0-9]*; do
        pid=${f#/proc/}
        read_stat "$pid" && kids[$PPID_OF]="${kids[$PPID_OF]:-} $pid"
    done
    FOUND=()
    while [ -n "${queue// /}" ]; do
        read -r pid queue <<< "$queue"
        [ -n "${kids[$pid]:-}" ] || continue
        FOUND+=(${kids[$pid]})
        queue="$queue ${kids[$pid]}"
    done
}

# STEPDS: the slurmstepd processes of this cluster. slurmd forks them off as orphans, but they carry
# our SLURM_CONF in their environment.
our_stepds() {
    local p comm envs e
    STEPDS=()
    for p in /proc/[0-9]*; do
        read -r comm 2>/dev/null < "$p/comm" && [ "$comm" = slurmstepd ] || continue
        mapfile -d "" -t envs 2>/dev/null < "$p/environ" || continue
        for e in "${envs[@]}"; do [ "$e" = "SLURM_CONF=$CONF" ] && { STEPDS+=("${p#/proc/}"); break; }; done
    done
}

record() { read_stat "$1" && echo "$1 $2 $START" >> "$D/pids"; }

wait_for() {  # wait_for SECONDS CMD...: retry CMD every 0.2 s until it succeeds
    local end=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do [ $SECONDS -ge $end ] && return 1; sleep 0.2; done
}

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

munge_answers() { munge -n -S "$D/munge.socket" | unmunge -S "$D/munge.socket"; }
node_idle() { [ "$(sinfo -h -n "$HOST" -o %T)" = idle ]; }
queue_empty() { [ -z "$(squeue -h -o %A)" ]; }

# daemon NAME CMD...: runs a daemon in the foreground mode in the background and records it.
daemon() {
    local name=$1
    shift
    "$@" </dev/null >"$D/$name.out" 2>&1 &
    local pid=$!
    record $pid "$name"
    sleep 0.2
    same_process $pid "$START" || { say "$name exited at once: $(tail -n 3 "$D/$name.out")"; return 1; }
}

write_conf() {
    cat > "$CONF" <<EOF
ClusterName=krymotest
SlurmctldHost=$HOST(127.0.0.1)
SlurmctldPort=$1
SlurmdPort=$2
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$D/munge.socket
CredType=cred/munge
StateSaveLocation=$D/state
SlurmdSpoolDir=$D/spool
SlurmctldPidFile=$D/slurmctld.pid
SlurmdPidFile=$D/slurmd.pid
SlurmctldLogFile=$D/slurmctld.log
SlurmdLogFile=$D/slurmd.log
MailProg=/bin/true
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SwitchType=switch/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/backfill
# Array members start as soon as a CPU frees up, not after the default 3 s delay.
SchedulerParameters=batch_sched_delay=0
# A job the node can never run is refused by sbatch instead of pending for ever.
EnforcePartLimits=ALL
ReturnToService=2
KillWait=5
# The node has the CPUs written here, whatever the hardware.
SlurmdParameters=config_overrides
NodeName=$HOST NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=workq Nodes=$HOST Default=YES MaxTime=UNLIMITED State=UP
EOF
    echo "export SLURM_CONF=$CONF" > "$D/env"
}

cmd_stop() {
    [ -s "$D/pids" ] || return 0
    local pid name st
    declare -A ours=()
    while read -r pid name st; do same_process "$pid" "$st" && ours[$pid]=$st; done < "$D/pids"
    if [ -n "$(our_daemon slurmctld)" ] && scontrol ping >/dev/null 2>&1; then
        local jobs
        jobs=$(squeue -h -o %A 2>/dev/null | sort -u)
        if [ -n "$jobs" ]; then
            scancel $jobs 2>/dev/null
            wait_for 20 queue_empty || say "jobs still listed after scancel: $(echo $(squeue -h -o %A))"
        fi
    fi
    # The daemons' children (slurmscriptd) and any step daemon left with its job processes.
    our_stepds
    descendants "${!ours[@]}" "${STEPDS[@]}"
    for pid in "${STEPDS[@]}" "${FOUND[@]}"; do
        [ -n "${ours[$pid]:-}" ] && continue
        record "$pid" child && ours[$pid]=$START
    done
    # slurmd first, so that it starts nothing more, and munged last, which the others talk to.
    for name in slurmd slurmctld munged; do
        pid=$(our_daemon "$name")
        [ -n "$pid" ] && [ -n "${ours[$pid]:-}" ] && kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${!ours[@]}"; do same_process "$pid" "${ours[$pid]}" && kill -TERM "$pid" 2>/dev/null; done
    local left signal=KILL end=$((SECONDS + 10))
    while :; do
        left=""
        for pid in "${!ours[@]}"; do same_process "$pid" "${ours[$pid]}" && left="$left $pid"; done
        [ -z "$left" ] && break
        if [ $SECONDS -ge $end ]; then
            [ $signal = none ] && { say "still running:$left"; return 1; }
            say "kill -$signal$left"
            kill -$signal $left 2>/dev/null
            signal=none
            end=$((SECONDS + 5))
        fi
        sleep 0.1
    done
    rm -f "$D/pids"
}

our_daemon() { awk -v n="$1" '$2 == n {print $1; exit}' "$D/pids" 2>/dev/null; }

fail_start() {
    say "$1"
    local f
    for f in "$D/slurmctld.log" "$D/slurmd.log"; do [ -s "$f" ] && { say "last lines of $f:"; tail -n 5 "$f" >&2; }; done
    cmd_stop
    exit 1
}

cmd_start() {
    local c missing=""
    for c in munged munge unmunge slurmctld slurmd sbatch squeue sinfo scontrol scancel; do
        command -v "$c" >/dev/null || missing="$missing $c"
    done
    [ -z "$missing" ] || { say "Slurm is not installed here (missing:$missing)"; exit 77; }
    [ "$(id -u)" = 0 ] || { say "a private Slurm cluster must run as root"; exit 77; }
    HOST=$(hostname -s)
    local sock="$D/spool/${HOST}_4294967294.4294967294"
    [ ${#sock} -le 107 ] || { say "DIR is too long for Slurm's unix sockets: $D"; exit 1; }
    if [ -s "$D/pids" ]; then
        local pid name st
        while read -r pid name st; do
            same_process "$pid" "$st" && { say "already running in $D ($name, pid $pid)"; exit 1; }
        done < "$D/pids"
    fi
    rm -rf "$D/state" "$D/spool" "$D"/*.log "$D"/*.out "$D/munge.key" "$D/pids"
    mkdir -p "$D/state" "$D/spool" || { say "cannot write $D"; exit 1; }
    : > "$D/pids"

    # Two free ports next to Slurm's usual ones, so that a Slurm of the machine is left alone.
    local port=6817
    while port_in_use $port || port_in_use $((port + 1)); do
        port=$((port + 2))
        [ $port -gt 6900 ] && { say "no free port pair in 6817-6900"; exit 1; }
    done
    write_conf $port $((port + 1))
    export SLURM_CONF="$CONF"

    mungekey -c -k "$D/munge.key" 2>/dev/null ||
        { head -c 1024 /dev/urandom > "$D/munge.key" && chmod 600 "$D/munge.key"; } ||
        { say "cannot make a munge key"; exit 1; }
    # --force: the parents of DIR may be writable by others (/tmp), which munged refuses otherwise.
    daemon munged munged -F --force --socket="$D/munge.socket" --key-file="$D/munge.key" \
        --pid-file="$D/munged.pid" --log-file="$D/munged.log" --seed-file="$D/munged.seed" ||
        fail_start "munged did not start"
    wait_for 10 munge_answers || fail_start "munged does not answer on $D/munge.socket"
    daemon slurmctld slurmctld -D -f "$CONF" || fail_start "slurmctld did not start"
    wait_for 20 scontrol ping || fail_start "slurmctld does not answer"
    daemon slurmd slurmd -D -f "$CONF" || fail_start "slurmd did not start"
    wait_for 60 node_idle || fail_start "node $HOST not idle: $(sinfo -h -N -o '%N %T %E' 2>&1)"
    say "up: node $HOST idle, partition workq, SLURM_CONF=$CONF"
}

[ $# = 2 ] && { [ "$1" = start ] || [ "$1" = stop ]; } || { echo "usage: $0 start|stop DIR" >&2; exit 2; }
mkdir -p "$2" && D=$(cd "$2" && pwd -P) || { say "cannot use $2"; exit 1; }
CONF=$D/slurm.conf
export SLURM_CONF="$CONF"
"cmd_$1"
