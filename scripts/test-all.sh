#!/usr/bin/env bash
# Configures, builds and runs every test of both presets (RelWithDebInfo and
# AddressSanitizer + UndefinedBehaviorSanitizer), then runs each fuzz target
# for a bounded time on its seed corpus. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

for preset in default asan; do
  echo "=== preset $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

if command -v clang++ >/dev/null && ls fuzz/*_fuzz.cpp >/dev/null 2>&1; then
  echo "=== fuzz targets"
  cmake --preset fuzz
  cmake --build --preset fuzz -j "$jobs"
  seconds=${CORVANE_FUZZ_SECONDS:-30}
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    corpus=$(mktemp -d)
    if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$corpus/"; fi
    echo "--- $name for ${seconds}s"
    "build/fuzz/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
    rm -rf "$corpus"
  done
fi
echo "All tests passed."
