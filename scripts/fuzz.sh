#!/bin/sh
# Builds the libFuzzer targets (Padlink's command layer, Cookhub's settings files
# and templates) with clang in build-fuzz/ and runs each for the given number of
# seconds (default 60). Crashes are kept in build-fuzz/fuzz-artifacts/ and make
# the script fail. The shipped settings files and templates seed Cookhub's targets.
#   scripts/fuzz.sh [seconds]
# FUZZ_SOURCE_DIR and FUZZ_BUILD_DIR pick other source and build folders.
set -eu

seconds=${1:-60}
[ "$seconds" -gt 0 ] || exit 0
root=$(cd "$(dirname "$0")/.." && pwd)
source_dir=${FUZZ_SOURCE_DIR:-$root}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets="fuzz_check_reply fuzz_dispatch fuzz_answers fuzz_ini fuzz_rmf"

cmake -S "$source_dir" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address -fno-omit-frame-pointer" \
  -DBACKOFFICE_FUZZ=ON -DBACKOFFICE_TESTS=OFF -DBACKOFFICE_GUI=OFF >/dev/null
# Other builds share the machine.
ninja -C "$build" -j1 $targets

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
for target in $targets; do
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  seeds=""
  case $target in
    fuzz_ini|fuzz_rmf) seeds="$source_dir/print_service/reports" ;;
  esac
  echo "== $target: $seconds s"
  if ! "$build/bin/$target" -max_total_time="$seconds" -max_len=4200 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$target-" "$corpus" $seeds 2>"$build/$target.log"; then
    status=1
    echo "$target: crash, see $build/$target.log and $artifacts"
  fi
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|^#[0-9]+.*DONE" "$build/$target.log" || true
done
exit $status
