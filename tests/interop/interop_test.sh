#!/usr/bin/env bash
# tovrin-cli against a BMC it was not written with: Debian's simulator ipmi_sim, run through
# tools/demo_bmc.sh on 127.0.0.1. Every case starts its own simulator on its own free port, in its
# own directory, and stops it when the case ends. Prints PASS or FAIL per case, then "N passed,
# M failed"; exits 1 when any case failed.
#
#   interop_test.sh TOVRIN_CLI
set -uo pipefail
export LC_ALL=C

[ "$#" -eq 1 ] || {
    echo "usage: interop_test.sh TOVRIN_CLI" >&2
    exit 2
}
cli=$(realpath "$1")
demo_bmc=$(cd "$(dirname "$0")/../../tools" && pwd)/demo_bmc.sh
work=$(mktemp -d)

cleanup() {
    local pid dir
    for pid in $(jobs -p); do kill "$pid" 2>/dev/null; done
    for dir in "$work"/*/bmc; do
        [ -d "$dir" ] && "$demo_bmc" stop "$dir"
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

export TOVRIN_PASSWORD=CH4NGEME

# The helpers below run inside a case, in its directory.

fail() {
    echo "$*"
    if [ -f err ]; then
        echo "--- tovrin-cli stderr:"
        cat err
    fi
    exit 1
}

# start_bmc start|start-empty: sets port.
start_bmc() {
    port=$("$demo_bmc" "$1" bmc auto) || fail "the simulator did not start"
}

# tovrin [OPTIONS] ADDRESS COMMAND..: runs tovrin-cli as USERID against this case's simulator;
# sets status, and leaves its standard error in err.
tovrin() {
    status=0
    timeout 120 "$cli" -U USERID -p "$port" "$@" 2>err || status=$?
}

expect_status() {
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

expect_line() {
    grep -qxF "$1" err || fail "no status line \"$1\""
}

# check_dump FILE: FILE holds one line per record that list-sel shows, in the same order, each
# "N=" .. " XX" x 16 with CR LF.
check_dump() {
    local file=$1 held lines i line
    mapfile -t held < <("$demo_bmc" list-sel bmc)
    mapfile -t lines <"$file"
    [ "${#lines[@]}" -eq "${#held[@]}" ] || fail "$file has ${#lines[@]} lines for ${#held[@]} records"
    [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "$file does not end with CR LF"
    for i in "${!lines[@]}"; do
        line=${lines[i]}
        [[ $line == *$'\r' ]] || fail "line $((i + 1)) does not end with CR LF"
        line=${line%$'\r'}
        [[ $line != *$'\r'* ]] || fail "line $((i + 1)) holds a CR before its end"
        [[ $line == "$((i + 1))="* ]] || fail "line $((i + 1)) does not start with $((i + 1))=: $line"
        [ "${line: -48}" = " ${held[i]^^}" ] ||
            fail "line $((i + 1)): $line"$'\n'"the simulator holds: ${held[i]}"
    done
}

case_logon() {
    start_bmc start
    (umask 077 && echo "$TOVRIN_PASSWORD" >password)
    TOVRIN_PASSWORD='' tovrin --password-file password 127.0.0.1 logon
    expect_status 0
    expect_line Connected
}

# Records of every kind the simulator makes: type below E0h (it puts in its own time stamp and
# drops B1 .. B4) and E0h and up (kept as given); bytes that are line ends, backslash and colon
# among them.
case_dump() {
    start_bmc start-empty
    {
        echo "e0 0a 0d 5c 3a 00 ff 20 7f 80 25 22 27 09"
        local i j types=(02 02 07 c0 df e0 ff) record
        for ((i = 0; i < 20; i++)); do
            record=${types[i % ${#types[@]}]}
            for ((j = 1; j <= 13; j++)); do
                record+=$(printf ' %02x' $(((i * 29 + j * 17 + 3) % 256)))
            done
            echo "$record"
        done
    } >records
    "$demo_bmc" add-sel bmc - <records >/dev/null || fail "add-sel failed"
    [ "$("$demo_bmc" list-sel bmc | wc -l)" -eq 21 ] || fail "the simulator does not hold the 21 records"

    tovrin --pace 0 127.0.0.1 dump sel.txt
    expect_status 0
    expect_line "SEL Save Complete"
    check_dump sel.txt
}

case_clear_then_dump_empty() {
    start_bmc start
    tovrin 127.0.0.1 clear
    expect_status 0
    expect_line "SEL Cleared"
    [ -z "$("$demo_bmc" list-sel bmc)" ] || fail "the simulator still holds records"

    tovrin 127.0.0.1 dump sel.txt
    expect_status 0
    expect_line "SEL is Empty"
    [ -f sel.txt ] && [ ! -s sel.txt ] || fail "sel.txt is not an empty file"
}

case_wrong_password() {
    start_bmc start
    TOVRIN_PASSWORD=NOT-CH4NGEME tovrin --timeout 2 127.0.0.1 logon
    expect_status 1
    [ "$(tail -n 1 err)" = "Logon Aborted" ] || fail "the last status line is not \"Logon Aborted\""
    ! grep -qxF Connected err || fail "Connected with a wrong password"
    grep -q "Message auth failed" bmc/ipmi_sim.log || fail "the simulator saw no failed authentication"
}

# The simulator closes a session that is idle for 30 s; the keep-alive every 15 s must keep it open.
case_keepalive() {
    start_bmc start
    tovrin 127.0.0.1 logon 20
    expect_status 0
    awk '$0 == "Session Timed Out" { t = 1 } t && $0 == "Connected" { ok = 1 } END { exit !ok }' err ||
        fail "no \"Session Timed Out\" followed by \"Connected\""
}

# The simulator's session table has 63 slots and frees an unclosed one only after 30 s idle: 70
# runs in a row pass only when each run closes its session.
case_seventy_logons() {
    start_bmc start
    local i
    for ((i = 1; i <= 70; i++)); do
        tovrin 127.0.0.1 logon 0
        [ "$status" -eq 0 ] || fail "logon $i of 70: exit status $status"
    done
}

# run_case NAME: runs case_NAME in $work/NAME and writes its result to $work/NAME.out.
run_case() {
    local name=$1 dir=$work/$1
    mkdir -p "$dir"
    if (cd "$dir" && trap '"$demo_bmc" stop bmc' EXIT && "case_$name") >"$dir/log" 2>&1; then
        echo "PASS $name" >"$dir.out"
    else
        { echo "FAIL $name" && sed 's/^/    /' "$dir/log"; } >"$dir.out"
    fi
}

# The keep-alive case takes 20 s: it runs beside the others.
run_case keepalive &
background=$!
for name in logon dump clear_then_dump_empty wrong_password seventy_logons; do
    run_case "$name"
    cat "$work/$name.out"
done
wait "$background"
cat "$work/keepalive.out"

passed=$(cat "$work"/*.out | grep -c '^PASS ')
failed=$(cat "$work"/*.out | grep -c '^FAIL ')
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
