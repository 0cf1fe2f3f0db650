#!/usr/bin/env bash
# Runs the hand-written mutations of scripts/mutations.txt against the test suite and prints a
# markdown table of which ones the tests kill. Run by hand (about half an hour on two cores), not
# by CI.
#
# Usage: scripts/mutate.sh [-r REV] [-o TABLE.md] [-t SECONDS] [-m REGEX]
#   -r REV      the commit to measure (default HEAD; uncommitted changes are not measured)
#   -o FILE     also write the table to FILE
#   -t SECONDS  time bound for one mutation's ctest run (default 900)
#   -m REGEX    only the mutations whose description matches REGEX
#
# A mutation may name, in "tests:", the ctest labels most likely to notice it; those run first,
# and the whole suite only when they all pass, so a killed mutation costs less time.
# The commit is exported into build/mutate/src and built in build/mutate/bin, so the worktree is
# never changed and the builds stay incremental from one mutation to the next. Each mutation is
# applied to the scratch copy, the tree rebuilt, the whole ctest run (stopping at the first
# failure), and the file put back before the next one, also when the script is interrupted.
# The whole script is one block, read before it runs: bash reads a script as it goes, and the run
# takes long enough that an edit to this file in the meantime would break it.
{
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rev=HEAD
table=
bound=900
only=
while getopts "r:o:t:m:h" option; do
  case "$option" in
    r) rev=$OPTARG ;;
    o) table=$OPTARG ;;
    t) bound=$OPTARG ;;
    m) only=$OPTARG ;;
    *) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
work=$root/build/mutate
src=$work/src
bin=$work/bin
list=$root/scripts/mutations.txt
jobs=${PATTIX_MUTATE_JOBS:-2}
# Resolved once: a commit made while the run goes on must not change which one the table names.
rev=$(git -C "$root" rev-parse --verify --short "$rev^{commit}")
mkdir -p "$src" "$bin"

# Export the commit and copy over only the files that differ, keeping the build incremental.
export_dir=$(mktemp -d)
trap 'rm -rf "$export_dir"' EXIT
git -C "$root" archive "$rev" | tar -x -C "$export_dir"
python3 - "$export_dir" "$src" <<'PY'
import filecmp, os, shutil, sys
new, old = sys.argv[1], sys.argv[2]
for top, dirs, files in os.walk(new):
    rel = os.path.relpath(top, new)
    os.makedirs(os.path.join(old, rel), exist_ok=True)
    for f in files:
        a, b = os.path.join(top, f), os.path.join(old, rel, f)
        if not os.path.exists(b) or not filecmp.cmp(a, b, shallow=False):
            shutil.copy2(a, b)
for top, dirs, files in os.walk(old):
    rel = os.path.relpath(top, old)
    for f in files:
        if not os.path.exists(os.path.join(new, rel, f)):
            os.remove(os.path.join(top, f))
PY

# Reads the table into a JSON list, checking that each text occurs exactly once in its file.
mutations=$work/mutations.json
python3 - "$list" "$src" "$mutations" "$only" <<'PY'
import json, re, sys
listing, src, out, only = sys.argv[1:5]
blocks, current, key = [], {}, None
for line in open(listing).read().split("\n") + [""]:
    if line.startswith("#"):
        continue
    if not line.strip():
        if current:
            blocks.append(current)
        current, key = {}, None
        continue
    m = re.match(r"(file|what|from|to|tests):\s*(.*)$", line)
    if m:
        key = m.group(1)
        current[key] = m.group(2)
    elif key in ("from", "to"):
        current[key] += "\n" + line
    else:
        sys.exit(f"mutations.txt: cannot read line {line!r}")
bad = False
for b in blocks:
    text = open(f"{src}/{b['file']}").read()
    n = text.count(b["from"])
    if n != 1:
        print(f"mutations.txt: '{b['what']}': the text occurs {n} times in {b['file']}", file=sys.stderr)
        bad = True
if bad:
    sys.exit(1)
if only:
    blocks = [b for b in blocks if re.search(only, b["what"])]
json.dump(blocks, open(out, "w"))
print(len(blocks))
PY

apply() {  # apply <index>: writes the mutated file, keeping the original aside
  python3 - "$mutations" "$src" "$1" <<'PY'
import json, shutil, sys
blocks = json.load(open(sys.argv[1]))
b = blocks[int(sys.argv[3])]
path = f"{sys.argv[2]}/{b['file']}"
shutil.copy2(path, path + ".original")
text = open(path).read()
open(path, "w").write(text.replace(b["from"], b["to"], 1))
PY
}
restore_all() {
  find "$src" -name '*.original' -print0 | while IFS= read -r -d '' kept; do
    mv -f "$kept" "${kept%.original}"
    touch "${kept%.original}"
  done
}
trap 'restore_all; rm -rf "$export_dir"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
restore_all

cmake -S "$src" -B "$bin" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPATTIX_BUILD_BENCH=OFF \
  -DPATTIX_BUILD_MANUAL=OFF >/dev/null
echo "mutate: building $rev in $bin" >&2
cmake --build "$bin" -j "$jobs" >"$work/build.log" 2>&1 || { tail -30 "$work/build.log" >&2; exit 1; }
if ! (cd "$bin" && timeout "$bound" ctest -j "$jobs" --timeout 300 >"$work/baseline.log" 2>&1); then
  echo "mutate: the unmutated tree fails its tests; see $work/baseline.log" >&2
  exit 1
fi

count=$(python3 -c "import json,sys; print(len(json.load(open(sys.argv[1]))))" "$mutations")
rows=()
killed=0
survived=0
unbuilt=0
for ((i = 0; i < count; i++)); do
  read -r file what < <(python3 -c "import json,sys; b=json.load(open(sys.argv[1]))[int(sys.argv[2])]; print(b['file'], b['what'])" "$mutations" "$i")
  hint=$(python3 -c "import json,sys; print(json.load(open(sys.argv[1]))[int(sys.argv[2])].get('tests', ''))" "$mutations" "$i")
  apply "$i"
  if ! cmake --build "$bin" -j "$jobs" >"$work/build.log" 2>&1; then
    result="not built"
    unbuilt=$((unbuilt + 1))
  elif { [ -z "$hint" ] || (cd "$bin" && timeout "$bound" ctest -j "$jobs" --timeout 300 \
            --stop-on-failure -L "$hint" >"$work/last.log" 2>&1); } &&
       (cd "$bin" && timeout "$bound" ctest -j "$jobs" --timeout 300 --stop-on-failure \
          >"$work/last.log" 2>&1); then
    result="**survived**"
    survived=$((survived + 1))
  else
    failing=$(grep -m1 -oE '[0-9]+ - [^ ]+ \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)' "$work/last.log" \
              | sed -E 's/^[0-9]+ - //; s/ \(.*//' || true)
    result="killed${failing:+ (${failing})}"
    killed=$((killed + 1))
  fi
  restore_all
  rows+=("| $((i + 1)) | \`$file\` | $what | $result |")
  echo "mutate: $((i + 1))/$count $what: $result" >&2
done
# Leave the scratch tree built as committed.
cmake --build "$bin" -j "$jobs" >"$work/build.log" 2>&1 || true

total=$((killed + survived))
{
  echo "Mutations of $rev: $killed of $total killed" \
       "($((total > 0 ? 100 * killed / total : 0))%)$( ((unbuilt)) && echo ", $unbuilt not built")."
  echo
  echo "| # | File | Mutation | Result |"
  echo "|---|------|----------|--------|"
  printf '%s\n' "${rows[@]}"
} | tee ${table:+"$table"}
exit
}
