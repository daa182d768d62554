#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each one for a bounded time. Fails on any crash, leak, hang, memory
# blow-up or sanitizer report; the input that caused it is kept under
# build-fuzz/artifacts/ and the fuzzer's output under build-fuzz/logs/.
#
#   bash scripts/run-fuzz.sh [SECONDS_PER_TARGET] [PARALLEL_TARGETS]
#
# SECONDS_PER_TARGET defaults to 60 (0 skips fuzzing). PARALLEL_TARGETS (default
# 1) targets run at a time, one worker each. TREVANIX_FUZZ_NICE sets a nice
# level for the fuzzers; TREVANIX_FUZZ_TARGETS limits the targets
# (space-separated names); TREVANIX_REAL_CORPUS points at a folder of public
# real-world scenes used as extra seeds (read in place, skipped when absent).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
parallel=${2:-1}
if [[ $seconds -le 0 ]]; then
    echo "run-fuzz: skipped (0 seconds)"
    exit 0
fi
root=$(pwd)
build=$root/build-fuzz
targets=(${TREVANIX_FUZZ_TARGETS:-asc_analysis ase_analysis asc_reexport ase_export vertex_lines})
real=${TREVANIX_REAL_CORPUS:-$root/../shared/corpus/real}
nice_level=${TREVANIX_FUZZ_NICE:-0}

compiler=$(command -v clang++-14 || command -v clang++ || true)
if [[ -z $compiler ]]; then
    echo "run-fuzz: clang++ not found (scripts/install-deps.sh installs clang-14)" >&2
    exit 1
fi
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREVANIX_WERROR=ON \
    -DTREVANIX_BUILD_FUZZ=ON -DTREVANIX_BUILD_TESTS=OFF -DTREVANIX_BUILD_BENCH=OFF -DTREVANIX_BUILD_WINDOW=OFF \
    >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" --target fuzz_all -j2

# Seeds: generated scenes, the sample scenes, and the real-world ones in place.
seeds=$build/seeds
rm -rf "$seeds"
"$build/fuzz/trevanix-seed-writer" "$seeds"
cp examples/*.ase "$seeds/ase/"
cp examples/*.asc "$seeds/asc/"
mkdir -p "$build/logs" "$build/artifacts"

seed_dirs_for() {
    case $1 in
    asc_*) echo "$seeds/asc" ;;
    ase_*) echo "$seeds/ase" ;;
    vertex_lines) echo "$seeds/lines" ;;
    esac
    if [[ $1 != vertex_lines && -d $real ]]; then
        echo "$real"
    fi
}

run_target() {
    local name=$1
    local corpus=$build/corpus/$name
    local max_len=65536
    [[ $name == vertex_lines ]] && max_len=4096
    mkdir -p "$corpus" "$build/artifacts/$name"
    # Each corpus starts empty on a CI machine and keeps growing locally.
    nice -n "$nice_level" "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$max_len" -dict="$root/fuzz/scene.dict" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name/" "$corpus" $(seed_dirs_for "$name") \
        >"$build/logs/$name.log" 2>&1
}

summary() {
    local name=$1 log=$build/logs/$1.log
    local execs cov
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    cov=$(grep -oE '(cov|ft|corp): [0-9]+[^ ]*' "$log" | tail -3 | tr '\n' ' ')
    echo "run-fuzz: $name: ${execs:-?} runs, $cov"
}

failed=()
pids=()
names=()
wait_for() {
    local k=$1
    if wait "${pids[$k]}"; then
        summary "${names[$k]}"
    else
        echo "run-fuzz: ${names[$k]} FAILED; last lines of build-fuzz/logs/${names[$k]}.log:" >&2
        tail -n 40 "$build/logs/${names[$k]}.log" >&2
        failed+=("${names[$k]}")
    fi
}

echo "run-fuzz: ${#targets[@]} targets, $seconds s each, $parallel at a time"
for name in "${targets[@]}"; do
    if ((${#pids[@]} >= parallel)); then
        wait_for 0
        pids=("${pids[@]:1}")
        names=("${names[@]:1}")
    fi
    run_target "$name" &
    pids+=($!)
    names+=("$name")
done
for k in "${!pids[@]}"; do
    wait_for "$k"
done

if ((${#failed[@]} > 0)); then
    echo "run-fuzz: findings in: ${failed[*]} (inputs in build-fuzz/artifacts/)" >&2
    exit 1
fi
echo "run-fuzz: no findings"
