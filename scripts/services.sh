# Sourced by run.sh, test.sh, bench.sh and mutants.sh: starts what the
# program and its tests talk to, and remembers every process and network
# namespace so that stop_services ends them all.

service_pids=()
service_dir=""
with_hosts=()
# The command prefix that the functions below start programs with: empty
# starts them here; start_test_network makes it the tests' own network
# namespace, and in_remote the remote servers' one for a while.
in_netns=()
remote_netns=()
test_namespaces=()

services_init() {
    service_dir=$(mktemp -d /tmp/veltrano-services.XXXXXX)
    trap stop_services EXIT
}

# start_time_service ADDRESS: xinetd's built-in RFC 868 service on ADDRESS:37,
# once it answers.
start_time_service() {
    launch_time_service "$1" && wait_for_time_service "$1"
}

# launch_time_service ADDRESS: the same without waiting, for a server whose
# readiness counts only as seen from another namespace.
launch_time_service() {
    local addr=$1 conf="$service_dir/xinetd-$1.conf"
    cat >"$conf" <<CONF
defaults
{
    instances = 60
}
service time
{
    type        = INTERNAL
    id          = time-stream
    socket_type = stream
    protocol    = tcp
    user        = root
    wait        = no
    bind        = $addr
    port        = 37
    flags       = REUSE
}
CONF
    "${in_netns[@]}" xinetd -dontfork -filelog "$service_dir/xinetd-$addr.log" -f "$conf" \
        -pidfile "$service_dir/xinetd-$addr.pid" </dev/null >/dev/null 2>&1 &
    service_pids+=($!)
}

# Ready means it answers with four bytes, not merely that it runs: a second
# xinetd on a taken address stays alive and serves nothing.
wait_for_time_service() {
    local addr=$1 tries=${2:-100} i
    for i in $(seq 1 "$tries"); do
        if [ "$("${in_netns[@]}" timeout 2 bash -c "exec 3<>/dev/tcp/$addr/37; head -c 4 <&3 | wc -c" 2>/dev/null)" = 4 ]; then
            return 0
        fi
        sleep 0.05
    done
    echo "services: no time service answers on $addr:37" >&2
    return 1
}

# start_ntp_service ROOT ADDRESS [CLIENTS]: chronyd, taken out of its package
# by setup.sh, on ADDRESS:123, answering CLIENTS (loopback by default).
# Always with -x: it serves this machine's time as a local source and never
# changes the clock. Without a command socket: its path is a file shared by
# every namespace, and another chronyd's would be taken over.
start_ntp_service() {
    local chronyd=$1/build/chrony/usr/sbin/chronyd addr=$2 clients=${3:-127.0.0.0/8} conf="$service_dir/chrony-$2.conf"
    printf '%s\n' "bindaddress $addr" "port 123" "cmdport 0" "bindcmdaddress /" "local stratum 8" "allow $clients" \
        "driftfile $service_dir/chrony-$addr.drift" "pidfile $service_dir/chrony-$addr.pid" >"$conf"
    "${in_netns[@]}" "$chronyd" -x -d -f "$conf" -u root </dev/null >"$service_dir/chrony-$addr.log" 2>&1 &
    service_pids+=($!)
}

# reference_ntp_offset ROOT ADDRESS: the offset in milliseconds that chronyd
# -Q, a client that changes nothing, measures against ADDRESS; its repeated
# queries also wait for the server to come up.
reference_ntp_offset() {
    local chronyd=$1/build/chrony/usr/sbin/chronyd addr=$2
    "${in_netns[@]}" "$chronyd" -Q -t 20 -u root -f /dev/null "pidfile $service_dir/chrony-q-$addr.pid" 'cmdport 0' \
        "server $addr iburst maxsamples 4" 2>&1 </dev/null |
        sed -n 's/.*System clock wrong by \([-0-9.]*\) seconds.*/\1/p' | awk '{ printf "%.3f\n", $1 * 1000 }'
}

# start_display: a virtual X server when there is no display to use.
start_display() {
    if [ -n "${DISPLAY:-}" ] && "${in_netns[@]}" xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n
    for n in $(seq 91 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        "${in_netns[@]}" Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        service_pids+=($!)
        export DISPLAY=":$n"
        for _ in $(seq 1 100); do "${in_netns[@]}" xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.05; done
        echo "services: Xvfb :$n did not start" >&2
        return 1
    done
    echo "services: no free display number" >&2
    return 1
}

# start_wine PREFIX: a fresh prefix whose default desktop is a virtual one
# with a taskbar, so every program shares it and tray icons have a place.
start_wine() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="winebus.sys,wineusb.sys,mscoree,mshtml=d"
    rm -rf "$WINEPREFIX"
    # Wine's services inherit the first program's output; keep it away from
    # any pipe or they hold it open long after the program ended. The
    # wineserver opens the sockets of every Wine program, so it must start
    # in the namespace whose network the programs are to see.
    "${in_netns[@]}" wineboot -i </dev/null >/dev/null 2>&1
    "${in_netns[@]}" wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
    "${in_netns[@]}" wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
    "${in_netns[@]}" wineserver -k </dev/null >/dev/null 2>&1 || true
    "${in_netns[@]}" wineserver -w </dev/null >/dev/null 2>&1 || true
    "${in_netns[@]}" wineserver -p </dev/null >/dev/null 2>&1
    "${in_netns[@]}" wineboot </dev/null >/dev/null 2>&1
    wine_started=1
}

# start_test_network: the service refuses to take time from any address of
# the machine it runs on, so the Windows tests need a server elsewhere. Two
# network namespaces of this run, joined by a veth pair: the tests' own
# (192.0.2.1), where every program started afterwards runs, and the remote
# servers' (192.0.2.2 and 192.0.2.3). Each has a loopback of its own, so the
# loopback servers started in the tests' namespace meet no other run's.
# TEST-NET-1 only: no real network routes it. Needs root; stop_services
# deletes both namespaces.
start_test_network() {
    local tests=veltrano-a-$$ remote=veltrano-b-$$
    if ! command -v ip >/dev/null || ! ip netns add "$tests" 2>/dev/null; then
        echo "services: cannot make a network namespace (needs root and iproute2);" \
            "the Windows tests need a time server that is not this machine" >&2
        return 1
    fi
    test_namespaces=("$tests")
    ip netns add "$remote" || return 1
    test_namespaces+=("$remote")
    # Both ends are made inside their namespaces, so their names never meet
    # another run's interfaces.
    ip link add va netns "$tests" type veth peer name vb netns "$remote" &&
        ip -n "$tests" addr add 192.0.2.1/24 dev va &&
        ip -n "$remote" addr add 192.0.2.2/24 dev vb &&
        ip -n "$remote" addr add 192.0.2.3/24 dev vb &&
        ip -n "$tests" link set lo up && ip -n "$tests" link set va up &&
        ip -n "$remote" link set lo up && ip -n "$remote" link set vb up || return 1
    in_netns=(ip netns exec "$tests")
    remote_netns=(ip netns exec "$remote")
}

# in_remote FUNCTION ARGUMENTS...: a function of this file, starting its
# programs in the remote servers' namespace instead.
in_remote() {
    local in_netns=("${remote_netns[@]}")
    "$@"
}

# start_fixtures ROOT NAME ADDRESS=MODE...: the misbehaving servers of
# tests/fixtures/LoopbackServers (built by the linux preset), once they all
# listen.
start_fixtures() {
    local root=$1 log="$service_dir/fixtures-$2.log"
    shift 2
    "${in_netns[@]}" "$root/build/linux/tests/fixtures/loopback_servers" "$@" </dev/null >"$log" 2>&1 &
    service_pids+=($!)
    for _ in $(seq 1 100); do grep -q ready "$log" && return 0; sleep 0.05; done
    cat "$log" >&2
    return 1
}

# start_test_services ROOT PREFIX: what the Windows tests talk to, all in the
# namespaces of start_test_network. Remote: chronyd on 192.0.2.2, xinetd's
# time service on 192.0.2.2:37 and the late-once fixture on 192.0.2.3. In
# the tests' namespace: xinetd's time service on 127.0.0.2 and 127.0.0.1,
# chronyd on 127.0.0.60 (exporting what the reference client measures
# there), the loopback fixtures on the other addresses of
# tests/LoopbackPlan.h, a display and a fresh Wine prefix at PREFIX. Sets
# with_hosts to the command prefix to run the tests with: in their
# namespace, with their own /etc/hosts where blackholed-first.veltrano.test
# names a black-holed address first, and no name server (when a mount
# namespace can be made).
# Returns 2, having started nothing, when the namespaces cannot be made;
# non-zero when something else did not start, the rest being started anyway.
start_test_services() {
    local root=$1 prefix=$2 status=0
    start_test_network || return 2
    # Started first, so that they are up by the time they are checked.
    in_remote start_ntp_service "$root" 192.0.2.2 192.0.2.0/24
    in_remote launch_time_service 192.0.2.2
    # No probe: a connection would spend the late-once server's first answer.
    in_remote start_fixtures "$root" remote 192.0.2.3=late-once || status=1
    # From the tests' namespace, while the rest starts: it takes seconds.
    reference_ntp_offset "$root" 192.0.2.2 >"$service_dir/remote-offset" &
    local remote_check=$!

    start_time_service 127.0.0.2 || status=1
    # "localhost" names 127.0.0.1: the tests of name lookup need a time service there.
    start_time_service 127.0.0.1 || status=1
    start_fixtures "$root" loopback \
        127.0.0.3=blackhole 127.0.0.6=flood 127.0.0.7=late-once ::1=time \
        127.0.0.20=ntp-short 127.0.0.21=ntp-mode 127.0.0.22=ntp-origin 127.0.0.23=ntp-elsewhere 127.0.0.24=ntp-rate \
        127.0.0.25=ntp-leap 127.0.0.26=ntp-zero 127.0.0.27=ntp-silent 127.0.0.28=ntp-flood || status=1
    start_ntp_service "$root" 127.0.0.60
    start_display || status=1
    start_wine "$prefix" || status=1
    VELTRANO_REFERENCE_OFFSET_MS=$(reference_ntp_offset "$root" 127.0.0.60)
    export VELTRANO_REFERENCE_OFFSET_MS
    if [ -n "$VELTRANO_REFERENCE_OFFSET_MS" ]; then
        echo "services: chronyd -Q measures $VELTRANO_REFERENCE_OFFSET_MS ms against 127.0.0.60"
    else
        echo "services: chronyd -Q got no answer from 127.0.0.60" >&2
        status=1
    fi

    # The remote servers count as up only when they answer across the veth.
    wait_for_time_service 192.0.2.2 || status=1
    wait "$remote_check"
    local remote_offset
    remote_offset=$(cat "$service_dir/remote-offset")
    if [ -n "$remote_offset" ]; then
        echo "services: chronyd -Q measures $remote_offset ms against 192.0.2.2, from the tests' namespace"
    else
        echo "services: chronyd -Q got no answer from 192.0.2.2, from the tests' namespace" >&2
        status=1
    fi

    # A name with two addresses, the first black-holed, seen only by the tests:
    # their own view of /etc/hosts, in a mount namespace of their own. Names
    # come from that file alone: no name server is reachable from the tests'
    # namespace, and asking one would turn "no such host" into "try again".
    local hosts="$service_dir/hosts" nsswitch="$service_dir/nsswitch.conf"
    { cat /etc/hosts; echo "127.0.0.3 blackholed-first.veltrano.test"; echo "127.0.0.2 blackholed-first.veltrano.test"; } >"$hosts"
    { grep -v '^hosts:' /etc/nsswitch.conf; echo "hosts: files"; } >"$nsswitch"
    with_hosts=("${in_netns[@]}")
    "${in_netns[@]}" unshare -m true 2>/dev/null &&
        with_hosts+=(unshare -m sh -c 'mount --bind "$0" /etc/hosts && mount --bind "$1" /etc/nsswitch.conf &&
            shift && exec "$@"' "$hosts" "$nsswitch")
    return $status
}

stop_services() {
    if [ -n "${wine_started:-}" ]; then
        "${in_netns[@]}" wineserver -k </dev/null >/dev/null 2>&1 || true
        timeout 20 "${in_netns[@]}" wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
    local pid ns
    for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${service_pids[@]}"; do
        for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill -9 "$pid" 2>/dev/null || true
    done
    service_pids=()
    # Whatever still runs in this run's namespaces was started by it (a test
    # cut short, say); a namespace lives on while a process holds it.
    for ns in "${test_namespaces[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
        ip netns del "$ns" 2>/dev/null || echo "services: could not delete network namespace $ns" >&2
    done
    test_namespaces=() in_netns=() remote_netns=() with_hosts=()
    [ -n "$service_dir" ] && rm -rf "$service_dir"
    service_dir=""
}
