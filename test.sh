#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test headless, first in
# build/ and then again in build-asan/ under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the session, duel peer, lobby client,
# online and file-writer tests in build-tsan/ under ThreadSanitizer, then the
# fuzz targets. Any failing test or sanitizer report fails the run.
#   ./test.sh --quick   the plain build and its tests only (the edit loop)
# QUORVEX_JOBS caps the build and test parallelism (default: every core).
set -euo pipefail
cd "$(dirname "$0")"
quick=0
for arg in "$@"; do
    case $arg in
        --quick) quick=1 ;;
        *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
    esac
done
source scripts/setup.sh

export SDL_VIDEODRIVER=offscreen
export SDL_AUDIODRIVER=dummy
export QT_QPA_PLATFORM=offscreen
jobs=${QUORVEX_JOBS:-$(nproc)}
export CMAKE_BUILD_PARALLEL_LEVEL=$jobs

echo "=== build ==="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"
if ((quick)); then
    echo "Quick run passed (no sanitizer tree, no fuzzing)."
    exit 0
fi

echo "=== build-asan (address, undefined) ==="
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQUORVEX_SANITIZE=ON -DQUORVEX_FUZZ=ON
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "=== build-tsan (thread; the session, duel peer, lobby client, online and file-writer tests) ==="
CC=clang CXX=clang++ cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DQUORVEX_TSAN=ON -DQUORVEX_BENCH=OFF
cmake --build build-tsan --target tests_session tests_multiplayer tests_lobby tests_online tests_online_forms tests_platform
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
    -R '^(PeerSession|ClientSession|DPErrors|DPSendFlags|Guid|SessionWire|SessionSends|DuelPeer|DuelMessages|LobbyClient|LobbyMessages|LobbyRoom|LobbyNames|CardRecordTest|CardTest|ErrorReportTest|FormsTest|HostListTest|InetTest|InetTextTest|KnownErrorLineTest|KnownErrorsTest|MailMessageTest|PublishTest|ScoreCodeTest|ScoreRecordTest|ScrambleTest|TransferTest|WorldBestTest|LaterWrites)\.'

echo "=== fuzzing (${QUORVEX_FUZZ_SECONDS:-5} s each) ==="
fuzz_one() {
    local fuzzer=$1 name corpus work
    name=$(basename "$fuzzer"); name=${name#fuzz_}
    work=$(mktemp -d); mkdir -p build-asan/fuzz-artifacts
    corpus=tests/fuzz/corpus/$name
    [[ -d $corpus ]] || corpus=
    if ! "$fuzzer" -max_total_time="${QUORVEX_FUZZ_SECONDS:-5}" -rss_limit_mb=2048 -timeout=10 \
            -artifact_prefix="build-asan/fuzz-artifacts/$name-" "$work" $corpus > "$work/log" 2>&1; then
        echo "fuzz_$name FAILED:"; tail -n 60 "$work/log"; rm -rf "$work"; return 1
    fi
    echo "fuzz_$name: $(grep -Eo 'Done [0-9]+ runs' "$work/log" || echo done)"
    rm -rf "$work"
}
export -f fuzz_one
shopt -s nullglob
fuzzers=(build-asan/fuzz_*)
if ((${#fuzzers[@]})); then
    printf '%s\n' "${fuzzers[@]}" | xargs -P "$jobs" -I{} bash -c 'fuzz_one "$@"' _ {}
fi

echo "All tests passed."
