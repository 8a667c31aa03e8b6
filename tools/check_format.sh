#!/usr/bin/env bash
# Fails when a tracked C++ file differs from the house clang-format style.
# Prints the files that drifted; `clang-format -i FILE` mends them.
set -u
cd "$(dirname "$0")/.."
fmt=$(command -v clang-format-14 || command -v clang-format) || { echo "format: clang-format is missing"; exit 1; }
drift=()
while IFS= read -r f; do
  "$fmt" --style=file --dry-run -Werror "$f" >/dev/null 2>&1 || drift+=("$f")
done < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc' '*.c')
if [ ${#drift[@]} -gt 0 ]; then
  echo "format: ${#drift[@]} file(s) differ from .clang-format:"
  printf '  %s\n' "${drift[@]}"
  exit 1
fi
echo "format: clean"
