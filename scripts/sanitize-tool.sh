#!/usr/bin/env bash
# Runs the resource tool's host unit tests (command line, damaged icon and program files, write
# plan) under AddressSanitizer and UndefinedBehaviorSanitizer: a separate small build of just the
# sources they need, so any out-of-bounds read or overflow on hostile input stops the run.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$here"
out=build/sanitize-tool
mkdir -p "$out"
# The manifest templates the Linux store carries, as the CMake build generates them.
cmake -DSOURCE_DIR="$here" -DOUTPUT="$out/tool_manifests.cpp" -P cmake/TavpackManifests.cmake
sources=(tool/*.cpp "$out/tool_manifests.cpp"
         platform/text.cpp platform/format.cpp platform/messages.cpp platform/message_table.cpp
         platform/os_posix.cpp platform/language_posix.cpp platform/lifetime.cpp
         launcher/path_list.cpp launcher/words.cpp launcher/runtime_version.cpp launcher/properties_file.cpp
         launcher/properties_encoding_posix.cpp
         resources/scramble.cpp resources/resource_encoding.cpp
         tests/test_support.cpp tests/test_language_posix.cpp
         tests/unit/tool_command_line_test.cpp tests/unit/tool_sources_test.cpp
         tests/unit/pe_resources_test.cpp)
sources=("${sources[@]/*_win.cpp/}")
flags=(-std=c++20 -g -O1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
objects=()
for source in "${sources[@]}"; do
    [ -n "$source" ] || continue
    object=$out/$(echo "$source" | tr / _).o
    objects+=("$object")
    # Only what changed is compiled again; two at a time.
    if [ ! -f "$object" ] || [ "$source" -nt "$object" ] || [ tool/tool.h -nt "$object" ]; then
        g++ "${flags[@]}" -Wall -Wextra -Werror -Wno-missing-field-initializers -I. -Itests -c "$source" -o "$object" &
        [ "$(jobs -rp | wc -l)" -lt 2 ] || wait -n
    fi
done
wait
g++ "${flags[@]}" "${objects[@]}" -lgtest -lgtest_main -pthread -ldl -o "$out/tool_tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 "$out/tool_tests" --gtest_brief=1
echo "sanitize: the resource tool's tests ran clean under ASan and UBSan"
