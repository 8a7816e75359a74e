#!/bin/sh
# panelix-sim serving on 127.0.0.1 and panelix-cli testing against it over tcp: the output must
# be the one of --board sim (time stamps and the elapsed time aside), and the server must say
# when the station came and went and end cleanly on SIGTERM. The server is killed at the end
# whatever happens.
# usage: tcp-two-processes.sh PANELIX_SIM PANELIX_CLI CONFIG WORKDIR
set -u
sim=$1
cli=$2
config=$3
work=$4

rm -rf "$work"
mkdir -p "$work"
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill -KILL "$server_pid" 2>/dev/null
    fi
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- server"
    cat "$work/server.txt"
    exit 1
}

# Polls cmd every 0.1 s for at most 5 s.
wait_for() {
    tries=0
    while ! eval "$1"; do
        tries=$((tries + 1))
        [ "$tries" -ge 50 ] && return 1
        sleep 0.1
    done
}

# Port 0: the system picks a free port and the server prints it.
"$sim" --listen 127.0.0.1:0 >"$work/server.txt" 2>&1 &
server_pid=$!
wait_for 'grep -q "^listening on 127\.0\.0\.1:[0-9]*$" "$work/server.txt"' ||
    fail "the server did not start"
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/server.txt")

"$cli" --board "tcp:127.0.0.1:$port" test --config "$config" >"$work/tcp.txt" 2>&1
tcp_exit=$?
"$cli" --board sim test --config "$config" >"$work/sim.txt" 2>&1
sim_exit=$?

normalise() {
    sed -e 's/ ([0-9][0-9]:[0-9][0-9]:[0-9][0-9])$//' -e 's/^共花费时间：.* 秒$/共花费时间：T 秒/' "$1"
}
normalise "$work/tcp.txt" >"$work/tcp.norm"
normalise "$work/sim.txt" >"$work/sim.norm"
[ "$sim_exit" -eq 0 ] || fail "--board sim exited $sim_exit"
[ "$tcp_exit" -eq 0 ] || fail "--board tcp exited $tcp_exit: $(cat "$work/tcp.txt")"
grep -q "^verdict: PASS$" "$work/tcp.txt" || fail "no PASS over tcp"
diff "$work/sim.norm" "$work/tcp.norm" || fail "tcp and sim differ"

wait_for 'grep -q "^station 127\.0\.0\.1:[0-9]* left$" "$work/server.txt"' ||
    fail "the server did not see the station leave"
grep -q "^station 127\.0\.0\.1:[0-9]* connected$" "$work/server.txt" ||
    fail "the server did not see the station come"

# A server that ignores SIGTERM is killed after 5 s and then fails on its exit status.
kill -TERM "$server_pid"
(sleep 5 && kill -KILL "$server_pid") >/dev/null 2>&1 &
watchdog=$!
wait "$server_pid"
server_exit=$?
server_pid=
kill "$watchdog" 2>/dev/null
[ "$server_exit" -eq 0 ] || fail "the server exited $server_exit after SIGTERM"
[ "$(tail -n 1 "$work/server.txt")" = "stopped" ] || fail "the server did not stop cleanly"
echo "PASS"
