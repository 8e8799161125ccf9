#!/usr/bin/env bash
# Builds (installing what is missing) and runs the whole test suite through ctest.
#   ./test.sh             normal build in build/
#   ./test.sh --sanitize  address + undefined-behaviour sanitizer build in build-asan/
#   ./test.sh --fuzz SECONDS  builds the libFuzzer targets with clang in build-fuzz/ and runs each
#                             for SECONDS, starting from the seed corpus in fuzz/corpus/
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The tests of the line's database start a PostgreSQL server of their own.
export QUORVEL_EXTRA_PACKAGES="postgresql ${QUORVEL_EXTRA_PACKAGES:-}"
case "${1:-}" in
    --sanitize)
        "$here/scripts/setup.sh" "$here/build-asan" -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF
        export ASAN_OPTIONS=detect_leaks=0
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        cd "$here/build-asan" && ctest --output-on-failure -j2
        ;;
    --fuzz)
        seconds=${2:?usage: ./test.sh --fuzz SECONDS}
        export QUORVEL_EXTRA_PACKAGES="clang libclang-rt-14-dev"
        export CC=clang CXX=clang++ QUORVEL_TARGETS=fuzzers
        "$here/scripts/setup.sh" "$here/build-fuzz" -DQUORVEL_FUZZ=ON -DQUORVEL_BENCH=OFF
        "$here/fuzz/run_fuzzers.sh" "$here/build-fuzz/fuzz" "$seconds"
        ;;
    "")
        "$here/scripts/setup.sh" "$here/build"
        cd "$here/build" && ctest --output-on-failure -j2
        ;;
    *)
        echo "usage: ./test.sh [--sanitize]" >&2
        exit 64
        ;;
esac
