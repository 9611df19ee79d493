#!/usr/bin/env bash
# Prints the share of test code: non-blank C++ lines that are not // comments, in .cpp/.hpp/.h files, under tests/
# against the code under src/, op/, jsv/ and bench/op. Only prints; it never fails the caller.
cd "$(dirname "$0")/.." || exit 0
count() {
    local files
    files=$(find "$@" -type f \( -name '*.cpp' -o -name '*.hpp' -o -name '*.h' \) 2>/dev/null)
    [ -n "$files" ] || { echo 0; return; }
    # shellcheck disable=SC2086
    awk '!/^[[:space:]]*$/ && !/^[[:space:]]*\/\// { n++ } END { print n + 0 }' $files
}
tests=$(count tests)
code=$(count src op jsv bench/op)
awk -v t="$tests" -v c="$code" 'BEGIN {
    if (c > 0) printf "test share: %d / %d = %.1f %%\n", t, c, 100 * t / c
    else printf "test share: %d / 0\n", t
}'
exit 0
