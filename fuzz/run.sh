#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 60), one after the other, then prints per target the executions, the
# executions per second, the coverage (edges) and the crashes found.
#
#   fuzz/run.sh [SECONDS]
#
# The exit status is 1 when any target found a crash, a leak, an input that
# took more than 2 s (timeout) or more than 2 GB (out of memory), and 2 when
# the build failed.  Environment:
#   FUZZ_BUILD    build folder (default build-fuzz)
#   FUZZ_WORK     where corpora, logs and findings go (default $FUZZ_BUILD/fuzz-work);
#                 the corpus a run grows is kept there for the next run
#   FUZZ_TARGETS  the targets to run, separated by spaces (default all)
#   FUZZ_JOBS     targets run at the same time (default 1)
#   FUZZ_FRESH=1  start from the committed seeds only (CI does)
# Each target reads fuzz/corpus/<target>/ (the seeds, never written) and the
# grown corpus; an input that fails is written to $FUZZ_WORK/findings/<target>/.
# Keep what it shows as a regression file under tests/data/fuzz/<target>/.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
build="${FUZZ_BUILD:-build-fuzz}"
[[ "$build" = /* ]] || build="$here/$build"
work="${FUZZ_WORK:-$build/fuzz-work}"
jobs="${FUZZ_JOBS:-1}"
all_targets="dbf_table dbf_memo profile tab_file cmd_line ole_variant ole_date ocilite_script
             ocilite_sql"
targets="${FUZZ_TARGETS:-$all_targets}"

# The dictionary each target uses.
dict_of() {
    case "$1" in
        dbf_*) echo dbf.dict ;;
        ocilite_*) echo sql.dict ;;
        ole_*) echo ole.dict ;;
        *) echo text.dict ;;
    esac
}

# Per-target limits beside the common ones: a DBF input is at most a few
# hundred kilobytes, so one allocation of more than 64 MB there can only be
# sized by a length read from the file.
extra_flags_of() {
    case "$1" in
        dbf_*) echo "-malloc_limit_mb=64" ;;
        *) echo "" ;;
    esac
}

cc=clang-14
cxx=clang++-14
command -v "$cxx" >/dev/null || { cc=clang; cxx=clang++; }
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
mkdir -p "$build"
build_log="$build/fuzz-build.log"
if ! cmake -S "$here" -B "$build" -DKESTREL_FUZZ=ON -DCMAKE_C_COMPILER="$cc" \
        -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" >"$build_log" 2>&1 ||
    ! nice -n 10 cmake --build "$build" -j "$(nproc)" --target kestrel_fuzz >>"$build_log" 2>&1
then
    echo "fuzz: the build failed (see $build_log)" >&2
    tail -n 30 "$build_log" >&2 || true
    exit 2
fi

mkdir -p "$work"
# The targets' own files go to a temporary folder of this run (memory-backed
# where the system has one), removed at the end.
tmp_root=/dev/shm
[[ -d "$tmp_root" && -w "$tmp_root" ]] || tmp_root="${TMPDIR:-/tmp}"
tmp="$(mktemp -d "$tmp_root/kestrel-fuzz.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

run_target() {
    local t="$1"
    local corpus="$work/corpus/$t" findings="$work/findings/$t" log="$work/$t.log"
    [[ "${FUZZ_FRESH:-0}" = 1 ]] && rm -rf "$corpus"
    rm -rf "$findings"
    mkdir -p "$corpus" "$findings" "$tmp/$t"
    local status=0
    # shellcheck disable=SC2046  # the extra flags are words
    TMPDIR="$tmp/$t" nice -n 19 "$build/fuzz/fuzz_$t" \
        -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 -detect_leaks=1 \
        $(extra_flags_of "$t") -print_final_stats=1 -close_fd_mask=3 \
        -dict="$here/fuzz/dict/$(dict_of "$t")" -artifact_prefix="$findings/" \
        "$corpus" "$here/fuzz/corpus/$t" >"$log" 2>&1 || status=$?
    echo "$status" >"$work/$t.status"
}

# At most FUZZ_JOBS targets at a time.
running=0
for t in $targets; do
    if [[ ! -x "$build/fuzz/fuzz_$t" ]]; then
        echo "fuzz: no target $t" >&2
        exit 2
    fi
    run_target "$t" &
    running=$((running + 1))
    if ((running >= jobs)); then
        wait -n || true
        running=$((running - 1))
    fi
done
wait || true

failed=0
printf '%-16s %12s %9s %8s %8s  %s\n' target executions exec/s edges crashes result
for t in $targets; do
    log="$work/$t.log"
    status="$(cat "$work/$t.status" 2>/dev/null || echo 99)"
    execs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -n1 | grep -o '[0-9]*$' || true)"
    rate="$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | tail -n1 | grep -o '[0-9]*$' || true)"
    edges="$(grep -o 'cov: [0-9]*' "$log" | tail -n1 | grep -o '[0-9]*$' || true)"
    found="$(find "$work/findings/$t" -type f \( -name 'crash-*' -o -name 'leak-*' \
             -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)"
    result=ok
    if ((found > 0)) || [[ "$status" != 0 ]]; then
        result="FAILED (status $status; log $log)"
        failed=1
    fi
    printf '%-16s %12s %9s %8s %8s  %s\n' "$t" "${execs:--}" "${rate:--}" "${edges:--}" \
        "$found" "$result"
done
if ((failed)); then
    echo
    for t in $targets; do
        if [[ "$(cat "$work/$t.status" 2>/dev/null)" != 0 ]]; then
            echo "---- $t: the end of $work/$t.log"
            grep -v '^#[0-9]' "$work/$t.log" | tail -n 25
        fi
    done
fi
exit "$failed"
