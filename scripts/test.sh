#!/usr/bin/env bash
# Sets up the machine, builds the test build (AddressSanitizer and
# UndefinedBehaviorSanitizer), runs the fuzz targets for 30 s each
# (FUZZ_SECONDS=N for another length, 0 to skip) and runs every test, each within
# a time limit (TEST_TIMEOUT=N seconds, 300 unless a test sets its own).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build-tests" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DBACKOFFICE_SANITIZE=ON -DBACKOFFICE_TESTS=ON
ninja -C "$root/build-tests"

# The cores link no widgets: their test binaries may not need the widgets library,
# and the service core builds and passes its tests in a configuration without
# windows (no build type: no debug info, so ccache serves it from any folder).
for core in cookhub_service_tests cookhub_engine_tests cookhub_status_tests cookhub_platform_tests; do
  if readelf -d "$root/build-tests/bin/$core" | grep -q 'libQt6Widgets'; then
    echo "$core links Qt Widgets" >&2
    exit 1
  fi
done
cmake -S "$root" -B "$root/build-nogui" -G Ninja -DCMAKE_BUILD_TYPE= \
  -DBACKOFFICE_TESTS=ON -DBACKOFFICE_GUI=OFF >/dev/null
ninja -C "$root/build-nogui" cookhub_service_tests
QT_QPA_PLATFORM=offscreen "$root/build-nogui/bin/cookhub_service_tests" --gtest_brief=1

# A short libFuzzer run of every fuzz target (clang, AddressSanitizer); the tests'
# own summary closes the output below.
"$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# A server listing in any test goes to loopback, never to the network's broadcast.
export COOKHUB_SSRP_TARGET=127.0.0.1:9
# The same time limit as the build's own (BACKOFFICE_TEST_TIMEOUT), for every test
# that sets none.
ctest --test-dir "$root/build-tests" --output-on-failure -j2 --timeout "${TEST_TIMEOUT:-300}" "$@"
