# Sourced by run.sh, test.sh, bench.sh and mutants.sh: starts what the
# program and its tests talk to, and remembers every process so that
# stop_services ends them all.

service_pids=()
service_dir=""
with_hosts=()

services_init() {
    service_dir=$(mktemp -d /tmp/veltrano-services.XXXXXX)
    trap stop_services EXIT
}

# start_time_service ADDRESS: xinetd's built-in RFC 868 service on ADDRESS:37.
start_time_service() {
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
    xinetd -dontfork -filelog "$service_dir/xinetd-$addr.log" -f "$conf" -pidfile "$service_dir/xinetd-$addr.pid" \
        </dev/null >/dev/null 2>&1 &
    service_pids+=($!)
    wait_for_time_service "$addr"
}

# Ready means it answers with four bytes, not merely that it runs: a second
# xinetd on a taken address stays alive and serves nothing.
wait_for_time_service() {
    local addr=$1 tries=${2:-100} i
    for i in $(seq 1 "$tries"); do
        if [ "$(timeout 2 bash -c "exec 3<>/dev/tcp/$addr/37; head -c 4 <&3 | wc -c" 2>/dev/null)" = 4 ]; then
            return 0
        fi
        sleep 0.05
    done
    echo "services: no time service answers on $addr:37" >&2
    return 1
}

# start_ntp_service ROOT ADDRESS: chronyd, taken out of its package by
# setup.sh, on ADDRESS:123. Always with -x: it serves this machine's time
# as a local source and never changes the clock.
start_ntp_service() {
    local chronyd=$1/build/chrony/usr/sbin/chronyd addr=$2 conf="$service_dir/chrony-$2.conf"
    printf '%s\n' "bindaddress $addr" "port 123" "cmdport 0" "local stratum 8" "allow 127.0.0.0/8" \
        "driftfile $service_dir/chrony-$addr.drift" "pidfile $service_dir/chrony-$addr.pid" >"$conf"
    "$chronyd" -x -d -f "$conf" -u root </dev/null >"$service_dir/chrony-$addr.log" 2>&1 &
    service_pids+=($!)
}

# reference_ntp_offset ROOT ADDRESS: the offset in milliseconds that chronyd
# -Q, a client that changes nothing, measures against ADDRESS; its repeated
# queries also wait for the server to come up.
reference_ntp_offset() {
    local chronyd=$1/build/chrony/usr/sbin/chronyd addr=$2
    "$chronyd" -Q -t 20 -u root -f /dev/null "pidfile $service_dir/chrony-q.pid" 'cmdport 0' \
        "server $addr iburst maxsamples 4" 2>&1 </dev/null |
        sed -n 's/.*System clock wrong by \([-0-9.]*\) seconds.*/\1/p' | awk '{ printf "%.3f\n", $1 * 1000 }'
}

# start_display: a virtual X server when there is no display to use.
start_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n
    for n in $(seq 91 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        service_pids+=($!)
        export DISPLAY=":$n"
        for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.05; done
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
    # any pipe or they hold it open long after the program ended.
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f </dev/null >/dev/null 2>&1
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    wineboot </dev/null >/dev/null 2>&1
    wine_started=1
}

# start_test_services ROOT PREFIX: what the Windows tests talk to. xinetd's
# time service on 127.0.0.2 and 127.0.0.1, chronyd on 127.0.0.60 (exporting
# what the reference client measures there), the loopback fixtures (built by
# the linux preset) on the other addresses of tests/LoopbackPlan.h, a display
# and a fresh Wine prefix at PREFIX. Sets with_hosts to the command prefix
# that gives a test its own /etc/hosts, where blackholed-first.veltrano.test
# names a black-holed address first; empty where no mount namespace can be
# made. Non-zero when something did not start; the rest is started anyway.
start_test_services() {
    local root=$1 prefix=$2 status=0
    start_time_service 127.0.0.2 || status=1
    # "localhost" names 127.0.0.1: the tests of name lookup need a time service
    # there, and the one that the run command starts serves as well.
    wait_for_time_service 127.0.0.1 1 2>/dev/null || start_time_service 127.0.0.1 || status=1
    local fixtures_log="$service_dir/fixtures.log"
    "$root/build/linux/tests/fixtures/loopback_servers" \
        127.0.0.3=blackhole 127.0.0.6=flood 127.0.0.7=late-once ::1=time \
        127.0.0.20=ntp-short 127.0.0.21=ntp-mode 127.0.0.22=ntp-origin 127.0.0.23=ntp-elsewhere 127.0.0.24=ntp-rate \
        127.0.0.25=ntp-leap 127.0.0.26=ntp-zero 127.0.0.27=ntp-silent 127.0.0.28=ntp-flood \
        </dev/null >"$fixtures_log" 2>&1 &
    service_pids+=($!)
    for _ in $(seq 1 100); do grep -q ready "$fixtures_log" && break; sleep 0.05; done
    grep -q ready "$fixtures_log" || { cat "$fixtures_log"; status=1; }
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

    # A name with two addresses, the first black-holed, seen only by the tests:
    # their own view of /etc/hosts, in a mount namespace of their own.
    local hosts="$service_dir/hosts"
    { cat /etc/hosts; echo "127.0.0.3 blackholed-first.veltrano.test"; echo "127.0.0.2 blackholed-first.veltrano.test"; } >"$hosts"
    with_hosts=()
    unshare -m true 2>/dev/null && with_hosts=(unshare -m sh -c 'mount --bind "$0" /etc/hosts && exec "$@"' "$hosts")
    return $status
}

stop_services() {
    if [ -n "${wine_started:-}" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        timeout 20 wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
    local pid
    for pid in "${service_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${service_pids[@]}"; do
        for _ in $(seq 1 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill -9 "$pid" 2>/dev/null || true
    done
    service_pids=()
    [ -n "$service_dir" ] && rm -rf "$service_dir"
    service_dir=""
}
