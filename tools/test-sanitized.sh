#!/bin/sh
# Builds the program and its tests a second time, in build-sanitize/, with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite there. Any report
# from either sanitizer fails the test that caused it.
set -e
cd "$(dirname "$0")/.."
dir=${1:-build-sanitize}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DKORVA_BENCHMARKS=OFF
cmake --build "$dir" -j2
export ASAN_OPTIONS="abort_on_error=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1:detect_leaks=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$dir" --output-on-failure -j2
