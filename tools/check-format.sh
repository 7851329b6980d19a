#!/usr/bin/env bash
# Fails when a C++ file under src, tests, bench or tools differs from what
# .clang-format makes of it. Fix with: clang-format -i FILE
set -euo pipefail
cd "$(dirname "$0")/.."
format=${1:-clang-format}
find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 "$format" --dry-run -Werror
