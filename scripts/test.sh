#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs every test:
#   native unit tests (gcc), the same under ASan+UBSan, short fuzz runs (clang/libFuzzer),
#   the Windows build's tests under Wine, and the end-to-end scenarios under Wine.
# Prints each runner's summary and exits non-zero on any failure.
# Knobs: JOBS (default nproc), FUZZ_SECONDS (per target, default 20), SKIP_FUZZ=1, SKIP_ASAN=1.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-20}
summary=()
failed=0
step() { printf '\n===== %s\n' "$*"; }
record() {  # record NAME RC
  if [ "$2" = 0 ]; then summary+=("PASS  $1"); else summary+=("FAIL  $1 (exit $2)"); failed=1; fi
}

step "packages"
scripts/install-packages.sh || { echo "package installation failed"; exit 1; }
step "cross-built dependencies"
DEPS=$(scripts/deps.sh) || { echo "dependency build failed"; exit 1; }
TOOLCHAIN=$DEPS/share/cmake/toolchain-i686-w64-mingw32.cmake

configure_build() {  # configure_build DIR [cmake args...]; TARGET limits the build
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 \
    || { tail -40 "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$JOBS" ${TARGET:+--target $TARGET} >"$dir.build.log" 2>&1 \
    || { grep -E 'error|FAILED' "$dir.build.log" | head -40; return 1; }
}
mkdir -p build

step "native build and tests"
if configure_build build/native; then
  ctest --test-dir build/native -j"$JOBS" --output-on-failure --timeout 600 2>&1 | tail -n 40
  record "native tests" "${PIPESTATUS[0]}"
else
  record "native build" 1
fi

if [ "${SKIP_ASAN:-0}" != 1 ]; then
  step "native tests under ASan+UBSan"
  if configure_build build/asan -DBRIVANE_SANITIZE=ON; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build/asan -j"$JOBS" --output-on-failure --timeout 900 -LE benchmark 2>&1 | tail -n 40
    record "sanitizer tests" "${PIPESTATUS[0]}"
  else
    record "sanitizer build" 1
  fi
fi

if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  step "fuzzing (${FUZZ_SECONDS} s per target)"
  if CC=clang CXX=clang++ TARGET=fuzzers configure_build build/fuzz -DBRIVANE_FUZZ=ON; then
    rc=0
    for f in build/fuzz/tests/fuzz/fuzz_*; do
      [ -x "$f" ] || continue
      name=$(basename "$f"); name=${name#fuzz_}
      corpus=tests/fuzz/corpus/$name
      work=build/fuzz/corpus-$name; rm -rf "$work"; mkdir -p "$work"
      # A fixed seed: a run explores the same inputs each time, so CI does not turn red at random.
      if "$f" -seed=20261210 -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
           -artifact_prefix=build/fuzz/crash-$name- "$work" $( [ -d "$corpus" ] && echo "$corpus" ) \
           >build/fuzz/$name.log 2>&1; then
        echo "fuzz $name: $(grep -E 'stat::number_of_executed_units' build/fuzz/$name.log | awk '{print $2}') runs, clean"
      else
        echo "fuzz $name: FAILED"; tail -n 30 build/fuzz/$name.log; rc=1
      fi
    done
    record "fuzzing" $rc
  else
    record "fuzz build" 1
  fi
fi

step "Windows build"
if configure_build build/win -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN"; then
  step "Windows tests under Wine"
  scripts/with-wine.sh build/wine-prefix -- \
    ctest --test-dir build/win -j"$JOBS" --output-on-failure --timeout 600 2>&1 | tail -n 40
  record "Wine tests" "${PIPESTATUS[0]}"
  step "end-to-end scenarios under Wine"
  scripts/with-wine.sh build/e2e-prefix -- python3 tests/e2e/run.py 2>&1 | tail -n 60
  record "end-to-end" "${PIPESTATUS[0]}"
else
  record "Windows build" 1
fi

step "summary"
printf '%s\n' "${summary[@]}"
npass=$(printf '%s\n' "${summary[@]}" | grep -c '^PASS')
nfail=$(printf '%s\n' "${summary[@]}" | grep -c '^FAIL')
echo "$npass passed, $nfail failed"
exit $failed
