#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs every test:
#   native unit tests (gcc, under ASan+UBSan), short fuzz runs (clang/libFuzzer),
#   the Windows build's tests under Wine, and the end-to-end scenarios under Wine.
# The Windows build is made for both targets, i686 and x86_64. x86_64 is always tested under
# 64-bit Wine; i686 under 32-bit Wine only where the machine runs 32-bit code (some kernels
# have it switched off: every i386 executable then fails with "Exec format error").
# Prints each runner's summary and exits non-zero on any failure.
# Knobs: JOBS (default nproc), FUZZ_SECONDS (per target, default 10), SKIP_FUZZ=1, SKIP_ASAN=1
#   (the native tests then run in the optimised build), NATIVE_TESTS=1 (run them there too),
#   BRIVANE_WINE32_LOADER (default /usr/lib/wine/wine: the probe for 32-bit code; point it at
#   a missing file to act as a machine that cannot run it), WIN_TARGETS (default "x86_64 i686").
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-10}
summary=()
failed=0
T0=$(date +%s)
step() { printf '\n===== [%d:%02d] %s\n' $(( ($(date +%s) - T0) / 60 )) $(( ($(date +%s) - T0) % 60 )) "$*"; }
record() {  # record NAME RC
  if [ "$2" = 0 ]; then summary+=("PASS  $1"); else summary+=("FAIL  $1 (exit $2)"); failed=1; fi
}
skip() { summary+=("SKIP  $1"); }

step "packages"
scripts/install-packages.sh || { echo "package installation failed"; exit 1; }
WIN_TARGETS=${WIN_TARGETS:-x86_64 i686}
declare -A TOOLCHAIN=()
for t in $WIN_TARGETS; do
  step "cross-built dependencies ($t)"
  deps=$(scripts/deps.sh "$t") || { echo "dependency build failed ($t)"; exit 1; }
  TOOLCHAIN[$t]=$deps/share/cmake/toolchain-$t-w64-mingw32.cmake
done
# Does this machine run 32-bit code? Wine's 32-bit loader starts only where it does.
can_run_32=0
"${BRIVANE_WINE32_LOADER:-/usr/lib/wine/wine}" --version >/dev/null 2>&1 && can_run_32=1

# Optimised builds without debug information compile fastest; the sanitizer and fuzz
# builds keep line tables (-g1) for their reports.
DEBUG_LINES=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
             "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
configure_build() {  # configure_build DIR [cmake args...]; TARGET limits the build
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >"$dir.configure.log" 2>&1 \
    || { tail -40 "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$JOBS" ${TARGET:+--target $TARGET} >"$dir.build.log" 2>&1 \
    || { grep -E 'error|FAILED' "$dir.build.log" | head -40; return 1; }
}
mkdir -p build

# The native unit tests run once, under ASan+UBSan (the same tests, with the checks on).
# The plain optimised build makes only what the end-to-end scenarios start (the web service),
# unless the sanitizer run is skipped or NATIVE_TESTS=1 asks for the tests here as well.
if [ "${SKIP_ASAN:-0}" = 1 ] || [ "${NATIVE_TESTS:-0}" = 1 ]; then
  step "native build and tests"
  if configure_build build/native; then
    ctest --test-dir build/native -j"$JOBS" --output-on-failure --timeout 600 2>&1 | tail -n 40
    record "native tests" "${PIPESTATUS[0]}"
  else
    record "native build" 1
  fi
else
  step "native build (the web service for the end-to-end scenarios)"
  TARGET=brivane-service configure_build build/native || record "native build" 1
fi

if [ "${SKIP_ASAN:-0}" != 1 ]; then
  step "native tests under ASan+UBSan"
  if configure_build build/asan -DBRIVANE_SANITIZE=ON "${DEBUG_LINES[@]}"; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build/asan -j"$JOBS" --output-on-failure --timeout 900 -LE benchmark 2>&1 | tail -n 40
    record "native tests under ASan+UBSan" "${PIPESTATUS[0]}"
  else
    record "sanitizer build" 1
  fi
fi

if [ "${SKIP_FUZZ:-0}" != 1 ]; then
  step "fuzzing (${FUZZ_SECONDS} s per target)"
  if CC=clang CXX=clang++ TARGET=fuzzers configure_build build/fuzz -DBRIVANE_FUZZ=ON "${DEBUG_LINES[@]}"; then
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

# Each target is built while the previous one's Wine tests run: those mostly wait on Wine
# and the display, so the build overlaps them.
win_build() {  # win_build TARGET -> build/win-TARGET.status holds the result
  configure_build build/win-$1 -DCMAKE_TOOLCHAIN_FILE="${TOOLCHAIN[$1]}"
  echo $? > build/win-$1.status
}
targets=($WIN_TARGETS)
step "Windows build (${targets[0]})"
win_build "${targets[0]}"
for i in "${!targets[@]}"; do
  t=${targets[$i]}
  next=${targets[$((i + 1))]:-}
  build_pid=
  if [ -n "$next" ]; then
    step "Windows build ($next), in the background"
    win_build "$next" > build/win-$next.output 2>&1 & build_pid=$!
  fi
  if [ "$(cat build/win-$t.status)" != 0 ]; then
    record "$t Windows build" 1
  elif [ "$t" = i686 ] && [ $can_run_32 = 0 ]; then
    why="this machine cannot run 32-bit code"
    skip "$t Wine tests ($why)"; skip "$t end-to-end ($why)"
  else
    # A private PulseAudio server (a 1 kHz tone on a null sink's monitor) around the Wine
    # runs: the audio capture tests record from it.
    # A test that fails is run once more: now and then a Wine process ends at its start,
    # before the test ran at all (no output). A test failing twice fails the run.
    step "Windows tests under Wine ($t)"
    scripts/with-pulse.sh build/pulse-$t -- scripts/with-wine.sh build/wine-prefix-$t --target $t -- \
      ctest --test-dir build/win-$t -j"$JOBS" --output-on-failure --timeout 600 --repeat until-pass:2 2>&1 \
      | tail -n 40
    record "$t Wine tests" "${PIPESTATUS[0]}"
    step "end-to-end scenarios under Wine ($t)"
    BRIVANE_WIN_BUILD=$PWD/build/win-$t scripts/with-pulse.sh build/pulse-e2e-$t -- \
      scripts/with-wine.sh build/e2e-prefix-$t --target $t -- \
      python3 tests/e2e/run.py 2>&1 | tee build/e2e-$t.log | tail -n 60
    record "$t end-to-end" "${PIPESTATUS[0]}"
  fi
  if [ -n "$build_pid" ]; then
    wait $build_pid
    cat build/win-$next.output
    step "Windows build ($next) done"
  fi
done

step "summary"
printf '%s\n' "${summary[@]}"
npass=$(printf '%s\n' "${summary[@]}" | grep -c '^PASS')
nfail=$(printf '%s\n' "${summary[@]}" | grep -c '^FAIL')
nskip=$(printf '%s\n' "${summary[@]}" | grep -c '^SKIP')
echo "$npass passed, $nfail failed, $nskip skipped"
exit $failed
