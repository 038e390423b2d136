#!/usr/bin/env bash
# Runs every GoogleTest program of a build once, all its tests in one process in a random order,
# so that a test that leans on what another test left behind (the code page, the logger, files)
# fails here although it passes when CTest runs each test alone.
#
#   scripts/run-shuffled.sh [BUILD_DIR] [SEED]
#
# BUILD_DIR defaults to "build"; SEED (1..99999) defaults to a random one and is printed, so that
# a failing order can be run again.
set -euo pipefail

build_dir="${1:-build}"
seed="${2:-$((RANDOM % 99999 + 1))}"

# The programs CTest knows, each with its working folder, taken from the registered tests.
mapfile -t programs < <(ctest --test-dir "$build_dir" --show-only=json-v1 | /usr/bin/python3 -c '
import json, sys
seen = set()
for test in json.load(sys.stdin)["tests"]:
    command = test.get("command") or []
    if not any(a.startswith("--gtest_filter") for a in command[1:]):
        continue
    folder = next((p["value"] for p in test.get("properties", [])
                   if p["name"] == "WORKING_DIRECTORY"), ".")
    if command[0] not in seen:
        seen.add(command[0])
        print(folder + "\t" + command[0])
')
if ((${#programs[@]} == 0)); then
  echo "run-shuffled: no GoogleTest programs registered in $build_dir" >&2
  exit 1
fi

echo "run-shuffled: ${#programs[@]} programs, --gtest_random_seed=$seed"
export KESTREL_TEST_DATA="${KESTREL_TEST_DATA:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/data}"
failed=()
for entry in "${programs[@]}"; do
  folder="${entry%%$'\t'*}"
  program="${entry#*$'\t'}"
  if ! (cd "$folder" && "$program" --gtest_shuffle --gtest_random_seed="$seed" \
          --gtest_brief=1 >"$folder/shuffled.log" 2>&1); then
    failed+=("$program")
    tail -n 40 "$folder/shuffled.log"
  fi
done
if ((${#failed[@]})); then
  echo "run-shuffled: failed (seed $seed): ${failed[*]}" >&2
  exit 1
fi
echo "run-shuffled: every program passed"
