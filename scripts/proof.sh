#!/usr/bin/env bash
# The proofs beyond the test suite, run by CI after scripts/test.sh:
#   1. the whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   2. the link, integration and end-to-end tests built with ThreadSanitizer;
#   3. each libFuzzer target for a bounded time (FUZZ_SECONDS, 60 by default);
#   4. the Windows station: built with mingw-w64 (its Qt built once per machine), its unit tests
#      and the end-to-end suite under Wine, the installer installed silently under Wine;
#   5. the Debian package built.
# Any sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
FUZZ_SECONDS=${FUZZ_SECONDS:-60}
export QT_QPA_PLATFORM=offscreen

step() { printf '\n=== %s\n' "$*"; }

step "AddressSanitizer + UndefinedBehaviorSanitizer: whole test suite"
# The sanitizer trees are optimised at -O1, as the sanitizers advise (quicker to build, the
# reports as sharp); the benchmarks are not run here, so the tree leaves them out.
san_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG")
BUILD_DIR=build-asan bash scripts/build.sh -DMARLO_SANITIZE="address;undefined" -DMARLO_BENCH=OFF "${san_flags[@]}"
# The leak check at exit does not follow dynamic TLS: with it, LeakSanitizer's own tracer
# sometimes crashes reading a stale entry on a loaded machine ("Tracer caught signal 11"),
# failing a station that ended cleanly.
(cd build-asan &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0 \
  LSAN_OPTIONS=suppressions="$PWD/../tests/lsan.supp" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")

# (console-sim's pulled-cable test drives console-sim, which this tree does not build.)
step "ThreadSanitizer: link, integration and end-to-end tests"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARLO_SANITIZE=thread "${san_flags[@]}" > /dev/null
tsan_targets=$(find tests/link tests/integration tests/e2e -name 'tst_*.cpp' -printf '%f\n' 2>/dev/null | sed 's/\.cpp$//' || true)
cmake --build build-tsan -j"$jobs" --target marlo-dv $tsan_targets
(cd build-tsan &&
  TSAN_OPTIONS="halt_on_error=1:ignore_noninstrumented_modules=1" \
  ctest --output-on-failure -j"$jobs" -L "link|integration|e2e" -E "deadlink_netns")

step "libFuzzer: ${FUZZ_SECONDS} s per target"
cmake -S . -B build-fuzz -DMARLO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fuzz_targets=$(find fuzz -maxdepth 1 -name 'fuzz_*.cpp' -printf '%f\n' | sed 's/\.cpp$//')
cmake --build build-fuzz -j"$jobs" --target $fuzz_targets
for t in $fuzz_targets; do
  corpus=$(mktemp -d)
  cp fuzz/corpus/* "$corpus"/
  echo "fuzz: $t"
  status=0
  build-fuzz/fuzz/"$t" -max_total_time="$FUZZ_SECONDS" -max_len=20000 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/ "$corpus" > build-fuzz/"$t".log 2>&1 || status=$?
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb|ERROR|SUMMARY|Done" build-fuzz/"$t".log || true
  rm -rf "$corpus"
  if [ "$status" -ne 0 ]; then
    tail -n 60 build-fuzz/"$t".log
    exit "$status"
  fi
done

step "Windows: build, tests under Wine, installer"
bash scripts/windows-proof.sh

step "Debian package"
(cd build && cpack -G DEB > /dev/null && ls -1 ./*.deb)

printf '\nproof: all passed\n'
