#!/usr/bin/env bash
# Runs Debian's BMC simulator ipmi_sim (package openipmi) as a demo BMC and as a test peer, on
# 127.0.0.1 only, as any user, with every file it writes kept inside DIR.
#
#   demo_bmc.sh start DIR PORT        fresh simulator whose SEL holds the demo records below
#   demo_bmc.sh start-empty DIR PORT  fresh simulator with an empty SEL
#                                     PORT "auto" picks a free one from 10000-31999 and prints it;
#                                     one below 1024 (623, the dialog's port) needs root
#   demo_bmc.sh add-sel DIR TYPE B1 .. B13
#   demo_bmc.sh add-sel DIR -         one "TYPE B1 .. B13" record per line of standard input
#   demo_bmc.sh list-sel DIR          the SEL as the simulator holds it, one record of 16 hex bytes a line,
#                                     read from the store in DIR/state that it rewrites after every change
#   demo_bmc.sh stop DIR              stops it and waits until it has exited (no error when not running)
#
# The BMC: IPMI v1.5 LAN channel 1 on UDP 127.0.0.1:PORT, straight-password authentication only,
# privilege limit Administrator, user "USERID" with password "CH4NGEME" at Administrator. The
# simulator's command console listens on TCP 127.0.0.1:PORT (TCP and UDP port numbers do not clash).
# At most 63 sessions may be open at once; a session with no valid message for 30 s is closed.
#
# start writes DIR/lan.conf, DIR/bmc.emu, the persistent state in DIR/state (wiped on every start),
# the pid in DIR/ipmi_sim.pid, the port in DIR/port and the simulator's own log (session opened,
# closed, rejected) in DIR/ipmi_sim.log, and returns once the simulator listens on both ports.
#
# add-sel adds records through the console while the simulator runs and prints the record ID that it
# assigned, in decimal, one per record. Bytes are hex, with or without 0x. The simulator makes the
# whole 16-byte record itself: record ID, TYPE, then for TYPE below E0h its own clock as time stamp
# followed by B5 .. B13 (B1 .. B4 are dropped), and for TYPE E0h and up B1 .. B13 unchanged. That
# clock is the machine's monotonic clock, so those time stamps count from its boot, not from 1970.
#
# Environment:
#   DEMO_BMC_SEL_MAX  SEL capacity in records, 1-4095 (default 1000); a full SEL rejects further records
#   DEMO_BMC_DEBUG=1  also log every datagram in DIR/ipmi_sim.log
set -euo pipefail
export LC_ALL=C

readonly sim_name=demo
readonly bmc_addr=0x20

# Demo SEL: record ID, type, time stamp and data, as a BMC would return them from Get SEL Entry.
# Times are UTC.
readonly demo_records=(
    # 2024-05-14 08:12:05 temperature sensor 30h, upper critical going high asserted: reading 5Ah, threshold 55h
    "01 00 02 d5 1c 43 66 20 00 04 01 30 01 59 5a 55"
    # 2024-05-14 08:12:41 the same deasserted at reading 50h
    "02 00 02 f9 1c 43 66 20 00 04 01 30 81 59 50 55"
    # 2024-05-20 17:45:10 power supply sensor 51h, failure detected asserted
    "03 00 02 26 8c 4b 66 20 00 04 08 51 6f 01 ff ff"
    # 2024-05-20 17:47:02 the same deasserted
    "04 00 02 96 8c 4b 66 20 00 04 08 51 ef 01 ff ff"
    # 2024-06-02 03:30:00 memory sensor 60h, correctable ECC logged by the BIOS, DIMM 2
    "05 00 02 38 e7 5b 66 01 00 04 0c 60 6f a0 00 02"
    # 2024-06-03 11:05:33 OEM record C0h, manufacturer 000157h
    "06 00 c0 7d a3 5d 66 57 01 00 10 20 30 40 50 60"
    # 2024-06-03 11:05:41 OEM record C1h, manufacturer 000157h
    "07 00 c1 85 a3 5d 66 57 01 00 de ad be ef 00 01"
    # OEM record E0h without time stamp: "OEM no time!" and a zero byte
    "08 00 e0 4f 45 4d 20 6e 6f 20 74 69 6d 65 21 00"
)
readonly demo_last_add_time=1717412741

die() {
    echo "demo_bmc.sh: $*" >&2
    exit 1
}

usage() {
    die "usage: demo_bmc.sh start|start-empty DIR PORT | add-sel DIR (TYPE B1..B13 | -) | list-sel DIR | stop DIR"
}

sel_store() {
    echo "$1/state/ipmi_sim/$sim_name/sel.$(printf '%02x' "$bmc_addr")"
}

# Prints the pid in DIR/ipmi_sim.pid when that process is still the simulator.
running_pid() {
    local pid
    pid=$(cat "$1/ipmi_sim.pid" 2>/dev/null) || return 1
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = ipmi_sim ] || return 1
    echo "$pid"
}

# True while the process exists and has not yet exited (an exited one may linger unreaped).
alive() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [ "${stat%% *}" != Z ]
}

# True once process $2 listens on UDP and TCP 127.0.0.1:$1 (not some other process on that port).
listening() {
    local port=$1 pid=$2
    ss -Hlnup "sport = :$port" | grep "127.0.0.1:$port" | grep -q "pid=$pid," &&
        ss -Hlntp "sport = :$port" | grep "127.0.0.1:$port" | grep -q "pid=$pid,"
}

write_config() {
    local dir=$1 port=$2 sel_max=$3
    cat >"$dir/lan.conf" <<EOF
name "$sim_name"
set_working_mc $bmc_addr
  startlan 1
    addr 127.0.0.1 $port
    priv_limit admin
    allowed_auths_callback straight
    allowed_auths_user straight
    allowed_auths_operator straight
    allowed_auths_admin straight
  endlan
  user 2 true "USERID" "CH4NGEME" admin 63
console 127.0.0.1 $port
EOF
    # Flags 0Ah: Reserve SEL and Delete SEL Entry supported.
    cat >"$dir/bmc.emu" <<EOF
mc_setbmc $bmc_addr
mc_add $bmc_addr 0 no-device-sdrs 0x23 9 8 0x9f 0x1291 0xf02
sel_enable $bmc_addr $sel_max 0x0a
mc_enable $bmc_addr
EOF
}

# The simulator reads its SEL back from this store at start-up, records in the reverse order of
# their lines, so records placed here keep every byte, time stamps included.
seed_demo_sel() {
    local store=$1 i
    mkdir -p "$(dirname "$store")"
    {
        for ((i = ${#demo_records[@]} - 1; i >= 0; i--)); do
            local bytes
            read -ra bytes <<<"${demo_records[i]}"
            printf '%d:d:' $((16#${bytes[1]}${bytes[0]}))
            printf '\\%s' "${bytes[@]}"
            printf '\n'
        done
        echo "last_add_time:i:$demo_last_add_time"
        echo "last_erase_time:i:0"
    } >"$store"
}

# Starts the simulator on PORT and waits until it listens there; fails, leaving nothing running, when
# it exits first (the port was taken after all) or does not come up within 20 s.
launch() {
    local dir=$1 port=$2 with_demo=$3 sel_max=$4
    rm -rf "$dir/state" "$dir/ipmi_sim.pid" "$dir/console.fifo" "$dir/port"
    mkdir -p "$dir/state"
    write_config "$dir" "$port" "$sel_max"
    if [ "$with_demo" = yes ]; then
        seed_demo_sel "$(sel_store "$dir")"
    fi

    local sim=(ipmi_sim -c "$dir/lan.conf" -f "$dir/bmc.emu" -s "$dir/state")
    if [ "${DEMO_BMC_DEBUG:-0}" = 1 ]; then
        sim+=(-d)
    fi

    # Standard input is a FIFO that the simulator itself holds open for writing, so its stdin console
    # never sees end of file and needs no terminal; what that console prints goes to the log.
    mkfifo "$dir/console.fifo"
    "${sim[@]}" <>"$dir/console.fifo" >"$dir/ipmi_sim.log" 2>&1 &
    local pid=$!
    echo "$pid" >"$dir/ipmi_sim.pid"

    local waited=0
    until listening "$port" "$pid"; do
        if ! alive "$pid" || ((waited >= 200)); then
            kill -KILL "$pid" 2>/dev/null || true
            rm -f "$dir/ipmi_sim.pid"
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    echo "$port" >"$dir/port"
}

start() {
    local dir=$1 port=$2 with_demo=$3
    [ "$port" = auto ] || { [[ $port =~ ^[0-9]+$ ]] && ((port >= 1 && port <= 65535)); } ||
        die "PORT must be 1-65535 or auto"
    local sel_max=${DEMO_BMC_SEL_MAX:-1000}
    [[ $sel_max =~ ^[0-9]+$ ]] && ((sel_max >= 1 && sel_max <= 4095)) ||
        die "DEMO_BMC_SEL_MAX must be 1-4095 (Get SEL Info reports free space in 16 bits)"
    command -v ipmi_sim >/dev/null || die "ipmi_sim not found: install the openipmi package"
    command -v ss >/dev/null || die "ss not found: install the iproute2 package"

    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    local pid
    if pid=$(running_pid "$dir"); then
        die "a simulator already runs from $dir (pid $pid)"
    fi

    if [ "$port" != auto ]; then
        [ -z "$(ss -Hlnut "sport = :$port")" ] || die "port $port is already in use"
        launch "$dir" "$port" "$with_demo" "$sel_max" || {
            tail -n 20 "$dir/ipmi_sim.log" >&2 || true
            die "ipmi_sim did not come up on 127.0.0.1:$port"
        }
        return 0
    fi

    # Candidates lie below the kernel's ephemeral port range, so no client socket takes the port
    # between the check and the simulator's bind; a simulator started at the same moment still can,
    # hence the further tries.
    local try
    for ((try = 0; try < 20; try++)); do
        port=$((10000 + SRANDOM % 22000))
        [ -z "$(ss -Hlnut "sport = :$port")" ] || continue
        if launch "$dir" "$port" "$with_demo" "$sel_max"; then
            echo "$port"
            return 0
        fi
    done
    tail -n 20 "$dir/ipmi_sim.log" >&2 || true
    die "ipmi_sim did not come up on any free port of 127.0.0.1"
}

stop() {
    local dir=$1 pid waited=0
    pid=$(running_pid "$dir") || {
        rm -f "$dir/ipmi_sim.pid"
        return 0
    }
    kill -TERM "$pid" 2>/dev/null || true
    while alive "$pid"; do
        if ((waited == 100)); then
            kill -KILL "$pid" 2>/dev/null || true
        fi
        ((waited < 200)) || die "ipmi_sim (pid $pid) did not exit"
        sleep 0.05
        waited=$((waited + 1))
    done
    rm -f "$dir/ipmi_sim.pid"
}

# Appends " 0xhh" for hex byte $2 to the variable named $1.
append_hex_byte() {
    local b=${2#0[xX]}
    [[ $b =~ ^[0-9a-fA-F]{1,2}$ ]] || die "not a hex byte: $2"
    printf -v "$1" '%s 0x%02x' "${!1}" $((16#$b))
}

add_sel() {
    local dir=$1
    shift
    running_pid "$dir" >/dev/null || die "no simulator runs from $dir"
    local port
    port=$(cat "$dir/port")

    local lines=()
    if [ "$#" -eq 1 ] && [ "$1" = - ]; then
        local line
        while IFS= read -r line || [ -n "$line" ]; do
            [[ $line =~ ^[[:space:]]*$ ]] || lines+=("$line")
        done
    else
        lines=("$*")
    fi

    local commands=() line
    for line in "${lines[@]}"; do
        local bytes command="sel_add $bmc_addr" b
        read -ra bytes <<<"$line"
        [ "${#bytes[@]}" -eq 14 ] || die "a record is TYPE and 13 data bytes: $line"
        for b in "${bytes[@]}"; do append_hex_byte command "$b"; done
        commands+=("$command")
    done

    local console reply
    exec {console}<>"/dev/tcp/127.0.0.1/$port" || die "cannot reach the console on 127.0.0.1:$port"
    # Every answer ends with the prompt "> "; the console also copies the simulator's log lines into
    # the stream, so the answer is picked out of whatever precedes the prompt.
    IFS= read -r -d '>' -t 10 reply <&"$console" || die "no prompt from the console"
    printf 'noecho\n' >&"$console"
    IFS= read -r -d '>' -t 10 reply <&"$console" || die "no answer from the console"
    local command
    for command in "${commands[@]}"; do
        printf '%s\n' "$command" >&"$console"
        IFS= read -r -d '>' -t 10 reply <&"$console" || die "no answer from the console to: $command"
        if [[ $reply =~ Added\ record\ ([0-9]+) ]]; then
            echo "${BASH_REMATCH[1]}"
        else
            exec {console}>&-
            die "the simulator refused '$command': $(tr -d '\r' <<<"$reply" | grep -m1 -o '\*\*.*' || echo "$reply")"
        fi
    done
    exec {console}>&-
}

list_sel() {
    local store
    store=$(sel_store "$1")
    [ -f "$store" ] || return 0
    local line
    # Lines are "<record ID>:d:<bytes>", a byte either printable as itself or escaped as \hh.
    grep -E '^[0-9]+:d:' "$store" | tac | while IFS= read -r line; do
        local data=${line#*:d:} out=() i=0 c
        while ((i < ${#data})); do
            c=${data:i:1}
            if [ "$c" = '\' ]; then
                out+=("${data:i+1:2}")
                i=$((i + 3))
            else
                out+=("$(printf '%02x' "'$c")")
                i=$((i + 1))
            fi
        done
        echo "${out[*]}"
    done
}

[ "$#" -ge 2 ] || usage
case $1 in
    start) [ "$#" -eq 3 ] || usage; start "$2" "$3" yes ;;
    start-empty) [ "$#" -eq 3 ] || usage; start "$2" "$3" no ;;
    add-sel) [ "$#" -ge 3 ] || usage; add_sel "${@:2}" ;;
    list-sel) [ "$#" -eq 2 ] || usage; list_sel "$2" ;;
    stop) [ "$#" -eq 2 ] || usage; stop "$2" ;;
    *) usage ;;
esac
