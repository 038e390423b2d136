#!/usr/bin/env bash
# Checks that every tracked C++ file (*.h, *.cpp) is formatted as the committed .clang-format
# says, with Debian 12's clang-format (the package clang-format, version 14).
#
#   scripts/check-format.sh          fails, naming the files and lines, when a file differs
#   scripts/check-format.sh --fix    formats those files in place
#
# Third-party code keeps its own formatting: list its folders in third_party below.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

third_party='^$'  # an extended regular expression of paths left alone; none yet

if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed (scripts/setup.sh installs it)" >&2
  exit 2
fi

mapfile -t files < <(git ls-files -- '*.h' '*.cpp' | grep -Ev "$third_party")
if ((${#files[@]} == 0)); then
  echo "check-format: no C++ files tracked" >&2
  exit 2
fi

if [[ "${1:-}" == --fix ]]; then
  clang-format -i --style=file "${files[@]}"
  echo "check-format: formatted ${#files[@]} files"
  exit 0
fi

if ! clang-format --dry-run -Werror --style=file "${files[@]}"; then
  echo "check-format: files differ from .clang-format; run scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
