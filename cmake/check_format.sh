#!/bin/sh
# Checks that the C++ sources of src/, tests/ and bench/ are formatted as the repository's .clang-format says
# (run by ctest from the source folder). Prints what clang-format would change and fails when anything would.
# To format: clang-format -i $(git ls-files 'src/*.[ch]*' 'tests/*.[ch]*' 'bench/*.[ch]*')
CLANG_FORMAT="${CLANG_FORMAT:-clang-format}"
files=$(find src tests bench \( -name '*.cpp' -o -name '*.h' \) | sort)
exec "$CLANG_FORMAT" --dry-run --Werror $files
