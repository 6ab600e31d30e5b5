#!/usr/bin/env bash
# Every test: native logic under the sanitizers, then the Windows build under
# Wine against real time servers, on loopback and in a network namespace
# beside the tests' own. Installs what is missing first; needs root for the
# namespaces.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh || exit 1
bash scripts/build.sh linux windows || { echo "build failed"; exit 1; }

. scripts/services.sh
services_init

results=()
status=0
record() {  # record NAME EXIT-CODE
    if [ "$2" -eq 0 ]; then results+=("PASS  $1"); else results+=("FAIL  $1"); status=1; fi
}

echo "== include layers"
bash scripts/check_layers.sh
record "include layers (scripts/check_layers.sh)" $?

echo "== native tests"
ctest --preset linux --output-on-failure --timeout 120
record "native (linux preset)" $?

echo "== fuzzing (about 20 s a target)"
bash scripts/fuzz.sh 20
record "fuzzing" $?

# Signed by a throwaway root and checked against it; never time-stamped,
# which would take a server elsewhere.
echo "== release signed (scripts/package.sh, osslsigncode verify)"
keys=$(mktemp -d)
(
    set -e
    cd "$keys"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -subj /CN=Veltrano-test-root \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj /CN=Veltrano-test-signer 2>/dev/null
    printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
    openssl x509 -req -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial -days 2 -extfile signer.ext \
        -out signer.pem 2>/dev/null
    openssl pkcs12 -export -inkey signer.key -in signer.pem -passout pass:test -out signer.p12
    cd "$root"
    VELTRANO_SIGN_PFX=$keys/signer.p12 VELTRANO_SIGN_PASSWORD=test bash scripts/package.sh
    for f in build/package/Veltrano.exe build/package/uninstall.exe build/dist/Veltrano-*-setup.exe; do
        osslsigncode verify -CAfile "$keys/root.pem" -in "$f" >/dev/null || { echo "not signed: $f"; exit 1; }
    done
)
record "release signed" $?
rm -rf "$keys"

# The setup that the Windows tests install, and the portable zip.
echo "== release unsigned (scripts/package.sh)"
env -u VELTRANO_SIGN_PFX bash scripts/package.sh
record "release packages" $?

# Two runs on one machine take turns: each picks the first free display
# number, and the tests time the program.
exec 9>/tmp/veltrano-wine-tests.lock
flock 9

echo "== starting the tests' network namespaces, time servers, display and Wine"
started=$(date +%s%N)
start_test_services "$root" "$root/build/wineprefix"
services=$?
echo "services: started in $((($(date +%s%N) - started) / 1000000)) ms"

if [ "$services" -eq 2 ]; then
    # Without a server that is not this machine the service's tests cannot
    # pass; a suite that did not run must not read as passed.
    record "windows (under Wine): not run, no network namespaces" 1
else
    [ "$services" -eq 0 ] || status=1
    echo "== Windows tests under Wine, in the tests' network namespace"
    "${with_hosts[@]}" ctest --preset windows --output-on-failure --timeout 300
    record "windows (under Wine)" $?
fi

stop_services
flock -u 9
echo
echo "== summary"
printf '%s\n' "${results[@]}"
passed=$(printf '%s\n' "${results[@]}" | grep -c '^PASS')
failed=$(printf '%s\n' "${results[@]}" | grep -c '^FAIL')
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
echo "suites: $passed passed, $failed failed"
exit $status
