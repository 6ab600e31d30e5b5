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

# start_ntp_service ROOT ADDRESS [CLIENTS [CERTIFICATE [NTP-SERVER]]]: chronyd,
# taken out of its package by setup.sh, on ADDRESS:123, answering CLIENTS
# (loopback by default). Always with -x: it serves this machine's time as a
# local source and never changes the clock. Without a command socket: its
# path is a file shared by every namespace, and another chronyd's would be
# taken over. With CERTIFICATE, one of make_test_certificates, it serves NTS
# too: key exchange on ADDRESS:4460, after which clients go to NTP-SERVER if
# given. IPv4 only, or its key exchange would listen on every IPv6 address.
start_ntp_service() {
    local chronyd=$1/build/chrony/usr/sbin/chronyd addr=$2 clients=${3:-127.0.0.0/8} conf="$service_dir/chrony-$2.conf" nts=()
    [ -n "${4:-}" ] && nts=("ntsserverkey $service_dir/nts/leaf.key" "ntsservercert $service_dir/nts/$4.crt" "ntsport 4460"
        "ntsprocesses 0" "ntsdumpdir $service_dir/nts-$addr" ${5:+"ntsntpserver $5"})
    printf '%s\n' "bindaddress $addr" "port 123" "cmdport 0" "bindcmdaddress /" "local stratum 8" "allow $clients" \
        "driftfile $service_dir/chrony-$addr.drift" "pidfile $service_dir/chrony-$addr.pid" "${nts[@]}" >"$conf"
    "${in_netns[@]}" "$chronyd" -4 -x -d -f "$conf" -u root </dev/null >"$service_dir/chrony-$addr.log" 2>&1 &
    service_pids+=($!)
}

# reference_ntp_offset ROOT SERVER [TRUSTED-ROOT]: the offset in milliseconds
# that chronyd -Q, a client that changes nothing, measures against SERVER, by
# NTS when given the root to trust; its repeated queries also wait for the
# server to come up.
reference_ntp_offset() {
    local chronyd=$1/build/chrony/usr/sbin/chronyd server=$2 trust=()
    [ -n "${3:-}" ] && server+=" nts" trust=("ntstrustedcerts $3")
    "${in_netns[@]}" "$chronyd" -Q -t 20 -u root -f /dev/null "pidfile $service_dir/chrony-q-$2.pid" 'cmdport 0' \
        "${trust[@]}" "server $server iburst maxsamples 4" 2>&1 </dev/null |
        sed -n 's/.*System clock wrong by \([-0-9.]*\) seconds.*/\1/p' | awk '{ printf "%.3f\n", $1 * 1000 }'
}

# The NTS servers of tests/LoopbackPlan.h, each with a certificate for its
# name: ADDRESS NAME SERVER [PROXY]. SERVER is chronyd, a key exchange mode of
# tests/fixtures/NtsServers.py, or one of its NTP modes, which a proxy at PROXY
# plays between chronyd on ADDRESS and its clients, sent there by chronyd's
# key exchange.
nts_plan=(
    "127.0.0.61 nts.veltrano.test nts"
    "127.0.0.62 nts-other-name.veltrano.test ke-other-name"
    "127.0.0.63 nts-untrusted.veltrano.test ke-untrusted"
    "127.0.0.64 nts-expired.veltrano.test ke-expired"
    "127.0.0.65 nts-no-alpn.veltrano.test ke-no-alpn"
    "127.0.0.66 nts-error.veltrano.test ke-error"
    "127.0.0.67 nts-bad-mac.veltrano.test ntp-bad-mac 127.0.0.71"
    "127.0.0.68 nts-no-uid.veltrano.test ntp-no-uid 127.0.0.72"
    "127.0.0.69 nts-elsewhere.veltrano.test ntp-elsewhere 127.0.0.73"
    "127.0.0.70 nts-nak-once.veltrano.test ntp-nak-once 127.0.0.74"
    "192.0.2.2 nts-remote.veltrano.test nts-remote"
)

# make_test_certificates: in $service_dir/nts, made afresh at each start and
# never kept, a test root that only the tests' Wine prefix trusts, another
# that nothing trusts, and a certificate (SERVER.crt) for each server of
# nts_plan, all with the key leaf.key: for its name and address, from the
# test root, valid from yesterday to the day after tomorrow, except that
# ke-other-name's is for other.veltrano.test, ke-untrusted's from the other
# root and ke-expired's expired in 2020.
make_test_certificates() {
    local dir=$service_dir/nts entry addr name server san signer from until key
    mkdir -p "$dir" && touch "$dir/index.txt" || return 1
    # openssl ca rather than x509, which cannot backdate.
    printf '%s\n' '[ca]' 'default_ca = test' '[test]' "database = $dir/index.txt" "new_certs_dir = $dir" \
        'rand_serial = yes' 'unique_subject = no' 'default_md = sha256' 'policy = any' 'copy_extensions = copy' \
        '[any]' 'commonName = supplied' >"$dir/ca.conf"
    for key in root other-root leaf; do openssl ecparam -name prime256v1 -genkey -noout -out "$dir/$key.key" || return 1; done
    for signer in root other-root; do
        openssl req -x509 -new -key "$dir/$signer.key" -subj "/CN=Veltrano test $signer" -days 3 \
            -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign -out "$dir/$signer.crt" ||
            return 1
    done
    local yesterday later
    yesterday=$(date -u -d yesterday +%Y%m%d%H%M%SZ) later=$(date -u -d '2 days' +%Y%m%d%H%M%SZ)
    for entry in "${nts_plan[@]}"; do
        read -r addr name server _ <<<"$entry"
        san="DNS:$name,IP:$addr" signer=root from=$yesterday until=$later
        case $server in
        ke-other-name) san=DNS:other.veltrano.test name=other.veltrano.test ;;
        ke-untrusted) signer=other-root ;;
        ke-expired) from=20200101000000Z until=20200102000000Z ;;
        esac
        openssl req -new -key "$dir/leaf.key" -subj "/CN=$name" -addext "subjectAltName=$san" \
            -addext extendedKeyUsage=serverAuth |
            openssl ca -batch -notext -config "$dir/ca.conf" -keyfile "$dir/$signer.key" -cert "$dir/$signer.crt" \
                -in /dev/stdin -startdate "$from" -enddate "$until" -out "$dir/$server.crt" 2>/dev/null || return 1
    done
}

# start_nts_services ROOT: the servers of nts_plan on loopback, once the
# fixtures listen.
start_nts_services() {
    local root=$1 entry addr name server proxy fixtures=()
    for entry in "${nts_plan[@]}"; do
        read -r addr name server proxy <<<"$entry"
        case $server in
        nts) start_ntp_service "$root" "$addr" 127.0.0.0/8 "$server" ;;
        ntp-*) start_ntp_service "$root" "$addr" 127.0.0.0/8 "$server" "$proxy"; fixtures+=("$proxy=$server=$addr") ;;
        ke-*) fixtures+=("$addr=$server") ;;
        esac
    done
    launch_until_ready "$service_dir/nts-fixtures.log" \
        python3 "$root/tests/fixtures/NtsServers.py" "$service_dir/nts" "${fixtures[@]}"
}

# trust_test_root ROOT: the test root in the Wine prefix's LocalMachine Root
# store, and nowhere else. tests/platform/NtsWineTest.cpp proves, through the
# product's own checks, that it is trusted for nts.veltrano.test alone.
trust_test_root() {
    openssl x509 -in "$service_dir/nts/root.crt" -outform der -out "$service_dir/nts/root.der" || return 1
    "${in_netns[@]}" wine "$1/build/windows/tests/fixtures/test_root.exe" "Z:$service_dir/nts/root.der" \
        </dev/null >"$service_dir/test-root.out" 2>&1 && return 0
    echo "services: the test root could not be added to $WINEPREFIX" >&2
    return 1
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
    launch_until_ready "$log" "$root/build/linux/tests/fixtures/loopback_servers" "$@"
}

# launch_until_ready LOG COMMAND...: COMMAND in the background, until it
# prints "ready".
launch_until_ready() {
    local log=$1
    shift
    "${in_netns[@]}" "$@" </dev/null >"$log" 2>&1 &
    service_pids+=($!)
    for _ in $(seq 1 100); do grep -q ready "$log" && return 0; sleep 0.05; done
    cat "$log" >&2
    return 1
}

# start_test_services ROOT PREFIX: what the Windows tests talk to, all in the
# namespaces of start_test_network. Remote: chronyd on 192.0.2.2, with NTS
# as nts-remote.veltrano.test, xinetd's time service on 192.0.2.2:37 and the
# late-once fixture on 192.0.2.3. In the tests' namespace: xinetd's time
# service on 127.0.0.2 and 127.0.0.1, chronyd on 127.0.0.60 and with NTS as
# nts.veltrano.test on 127.0.0.61 (exporting what the reference client
# measures against each), the loopback fixtures and NTS fixtures on the
# other addresses of tests/LoopbackPlan.h, a display and a fresh Wine prefix
# at PREFIX that trusts the test root. Sets with_hosts to the command prefix
# to run the tests with: in their namespace, with their own /etc/hosts, which
# names the NTS servers and has blackholed-first.veltrano.test name a
# black-holed address first, and no name server (when a mount namespace can
# be made). Wine runs with that view from the start, its services too.
# Returns 2, having started nothing, when the namespaces cannot be made;
# non-zero when something else did not start, the rest being started anyway.
start_test_services() {
    local root=$1 prefix=$2 status=0 entry addr name
    start_test_network || return 2
    # Names seen only by the tests: their own view of /etc/hosts, in a mount
    # namespace of their own. Names come from that file alone: no name
    # server is reachable from the tests' namespace, and asking one would
    # turn "no such host" into "try again".
    local hosts="$service_dir/hosts" nsswitch="$service_dir/nsswitch.conf"
    { cat /etc/hosts; echo "127.0.0.3 blackholed-first.veltrano.test"; echo "127.0.0.2 blackholed-first.veltrano.test"
      for entry in "${nts_plan[@]}"; do read -r addr name _ <<<"$entry" && echo "$addr $name"; done; } >"$hosts"
    { grep -v '^hosts:' /etc/nsswitch.conf; echo "hosts: files"; } >"$nsswitch"
    with_hosts=("${in_netns[@]}")
    "${in_netns[@]}" unshare -m true 2>/dev/null &&
        with_hosts+=(unshare -m sh -c 'mount --bind "$0" /etc/hosts && mount --bind "$1" /etc/nsswitch.conf &&
            shift && exec "$@"' "$hosts" "$nsswitch")
    make_test_certificates || { echo "services: openssl did not make the test certificates" >&2; status=1; }

    # Started first, so that they are up by the time they are checked.
    in_remote start_ntp_service "$root" 192.0.2.2 192.0.2.0/24 nts-remote
    in_remote launch_time_service 192.0.2.2
    # No probe: a connection would spend the late-once server's first answer.
    in_remote start_fixtures "$root" remote 192.0.2.3=late-once || status=1
    start_nts_services "$root" || status=1
    # chronyd -Q tries a key exchange only once: not before the server listens.
    wait_for_port 192.0.2.2 4460 && wait_for_port 127.0.0.61 4460 || status=1
    # From the tests' namespace, while the rest starts: they take seconds.
    in_hosts reference_ntp_offset "$root" nts-remote.veltrano.test "$service_dir/nts/root.crt" >"$service_dir/remote-offset" &
    local remote_check=$!
    in_hosts reference_ntp_offset "$root" nts.veltrano.test "$service_dir/nts/root.crt" >"$service_dir/nts-offset" &
    local nts_check=$!

    start_time_service 127.0.0.2 || status=1
    # "localhost" names 127.0.0.1: the tests of name lookup need a time service there.
    start_time_service 127.0.0.1 || status=1
    start_fixtures "$root" loopback \
        127.0.0.3=blackhole 127.0.0.6=flood 127.0.0.7=late-once ::1=time \
        127.0.0.20=ntp-short 127.0.0.23=ntp-elsewhere 127.0.0.24=ntp-rate 127.0.0.28=ntp-flood || status=1
    start_ntp_service "$root" 127.0.0.60
    start_display || status=1
    in_hosts start_wine "$prefix" || status=1
    trust_test_root "$root" || status=1
    VELTRANO_REFERENCE_OFFSET_MS=$(reference_ntp_offset "$root" 127.0.0.60)
    wait "$nts_check"
    VELTRANO_REFERENCE_NTS_OFFSET_MS=$(cat "$service_dir/nts-offset")
    export VELTRANO_REFERENCE_OFFSET_MS VELTRANO_REFERENCE_NTS_OFFSET_MS
    report_offset "$VELTRANO_REFERENCE_OFFSET_MS" 127.0.0.60 || status=1
    report_offset "$VELTRANO_REFERENCE_NTS_OFFSET_MS" "nts.veltrano.test (127.0.0.61) by NTS" || status=1

    # The remote servers count as up only when they answer across the veth.
    wait_for_time_service 192.0.2.2 || status=1
    wait "$remote_check"
    report_offset "$(cat "$service_dir/remote-offset")" \
        "nts-remote.veltrano.test (192.0.2.2) by NTS, from the tests' namespace" || status=1
    return $status
}

# report_offset MILLISECONDS SERVER: what chronyd -Q measured, or that it
# got no answer.
report_offset() {
    [ -n "$1" ] && echo "services: chronyd -Q measures $1 ms against $2" && return 0
    echo "services: chronyd -Q got no answer from $2" >&2
    return 1
}

# wait_for_port ADDRESS PORT: until a TCP connection to it succeeds.
wait_for_port() {
    for _ in $(seq 1 100); do
        "${in_netns[@]}" timeout 2 bash -c "exec 3<>/dev/tcp/$1/$2" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "services: nothing listens on $1:$2" >&2
    return 1
}

# in_hosts FUNCTION ARGUMENTS...: a function of this file, starting its
# programs as the tests run, with their hosts file.
in_hosts() {
    local in_netns=("${with_hosts[@]}")
    "$@"
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
