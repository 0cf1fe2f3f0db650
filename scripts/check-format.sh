#!/usr/bin/env bash
# Fails, naming the files, when any C or C++ source in the repository is not formatted as
# .clang-format says. To format them: git ls-files '*.cpp' '*.hpp' '*.h' '*.c' | xargs clang-format-14 -i
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
cd "$root"
unformatted=()
while IFS= read -r -d '' file; do
  clang-format-14 --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z '*.cpp' '*.hpp' '*.h' '*.c')
if ((${#unformatted[@]})); then
  echo "scripts/check-format.sh: not formatted as .clang-format says: ${unformatted[*]}" >&2
  exit 1
fi
