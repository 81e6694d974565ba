#!/bin/sh
# Every C++ source of the repository is formatted as .clang-format says.
# Usage: format_check.sh CLANG_FORMAT SOURCE_DIR
set -eu
clang_format=$1
cd "$2"
# Only the source folders that exist: build trees and anything else in the checkout stay out.
dirs=
for dir in bench common filter panel platform service tests tools; do
    [ -d "$dir" ] && dirs="$dirs $dir"
done
# shellcheck disable=SC2086
find $dirs -type f \( -name '*.h' -o -name '*.cpp' \) -print0 |
    xargs -0 -r "$clang_format" --dry-run --Werror
