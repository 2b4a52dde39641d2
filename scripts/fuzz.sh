#!/usr/bin/env bash
# Builds the libFuzzer targets of the tool-output readers with clang (ASan+UBSan) and runs each for
# FUZZ_SECONDS (30 by default) from its seed inputs in fuzz/corpus. Fails on a crash, a leak or a
# sanitizer report; the failing input is left in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
dir=build-fuzz
cmake -S fuzz -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp
seconds=${FUZZ_SECONDS:-30}
for reader in svn_xml git_output unified_diff; do
  # Inputs found on the way go to a scratch folder, never into the checked-in seeds.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  echo "fuzzing $reader for ${seconds}s"
  "$dir/fuzz_$reader" -max_total_time="$seconds" -max_len=65536 -artifact_prefix="$dir/$reader-" \
    "$scratch" "fuzz/corpus/$reader"
  rm -rf "$scratch"
done
