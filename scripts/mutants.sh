#!/usr/bin/env bash
# What the tests catch: puts the faults of scripts/mutants.tsv one at a time
# into a copy of the committed tree, rebuilds it, runs the tests until the
# first one fails and prints, per fault, which test caught it.
#   mutants.sh [BUILD] [ID...]      every fault, or the ones named
#   mutants.sh --check [BUILD]      only whether each fault still applies
# MUTANTS_TABLE names another table.
# The copy and its build live in BUILD/mutants (the checkout is never
# edited); the copy follows HEAD (or MUTANTS_REV) at each run, and its build
# is kept, so that each fault costs an incremental build. The tests run one
# at a time, fastest first, each timed by a clean run of the same tree; a
# test that takes far longer than that is stopped and counts as catching the
# fault ("timed out"). JOBS sets the build's parallelism.
set -uo pipefail
check_only=
if [ "${1:-}" = --check ]; then check_only=1; shift; fi
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
BUILD=${1:-build}
shift || true
mkdir -p "$BUILD/mutants"
mutants=$(cd "$BUILD/mutants" && pwd)
src=$mutants/src
out=$mutants/build
logs=$mutants/logs
table=${MUTANTS_TABLE:-$here/mutants.tsv}
rev=$(git -C "$repo" rev-parse "${MUTANTS_REV:-HEAD}") || exit 1
jobs=${JOBS:-2}
started=$(date +%s)

# table.py list|apply ID|restore: the table's rows, or one fault put into the
# copy (exit 3: stale) and taken out again.
table_py() {
  python3 - "$table" "$src" "$mutants/saved" "$@" <<'EOF'
import os, sys
table, src, saved, command = sys.argv[1:5]
def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "nt\\":
            out.append({"n": "\n", "t": "\t", "\\": "\\"}[text[i + 1]]); i += 2
        else:
            out.append(text[i]); i += 1
    return "".join(out)
rows = []
for number, line in enumerate(open(table, encoding="utf-8"), 1):
    line = line.rstrip("\n")
    if not line.strip() or line.startswith("#"): continue
    fields = line.split("\t")
    if len(fields) != 5: sys.exit(f"{table}:{number}: {len(fields)} fields, not 5")
    rows.append(fields)
ids = [row[0] for row in rows]
if len(set(ids)) != len(ids): sys.exit(f"{table}: an id is used twice")
if command == "list":
    for row in rows: print(row[0], row[1], row[4], sep="\t")
elif command == "apply":
    row = next((r for r in rows if r[0] == sys.argv[5]), None)
    if not row: sys.exit(f"no fault {sys.argv[5]}")
    path = os.path.join(src, row[1])
    try: data = open(path, "rb").read()
    except OSError: print("file missing"); sys.exit(3)
    original, replacement = (unescape(f).encode("utf-8") for f in row[2:4])
    found = data.count(original)
    if found != 1: print(f"snippet found {found} times"); sys.exit(3)
    open(saved, "w").write(path)
    open(saved + ".bytes", "wb").write(data)
    mode = os.stat(path).st_mode
    open(path, "wb").write(data.replace(original, replacement))
    os.chmod(path, mode)
elif command == "restore":
    if os.path.exists(saved):
        path = open(saved).read()
        # Written anew, never given back its old time: the build must see
        # the file change again.
        open(path, "wb").write(open(saved + ".bytes", "rb").read())
        os.remove(saved + ".bytes"); os.remove(saved)
EOF
}

# The committed tree into the copy: only files whose bytes differ are
# written, so an unchanged file keeps its time and is not rebuilt.
sync_copy() {
  table_py restore
  python3 - "$repo" "$rev" "$src" <<'EOF'
import os, subprocess, sys
repo, rev, src = sys.argv[1:4]
listing = subprocess.run(["git", "-C", repo, "ls-tree", "-r", "-z", rev], capture_output=True, check=True).stdout
entries = [e.split(b"\t", 1) for e in listing.split(b"\0") if e]
files = {}
for meta, path in entries:
    mode, kind, sha = meta.split()
    if kind == b"blob": files[path.decode()] = (mode, sha.decode())
cat = subprocess.Popen(["git", "-C", repo, "cat-file", "--batch"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
manifest = os.path.join(src, ".mutants-files")
before = set(open(manifest).read().split("\0")) - {""} if os.path.exists(manifest) else set()
for path, (mode, sha) in sorted(files.items()):
    cat.stdin.write(sha.encode() + b"\n"); cat.stdin.flush()
    size = int(cat.stdout.readline().split()[2])
    data = cat.stdout.read(size); cat.stdout.read(1)
    target = os.path.join(src, path)
    if mode == b"120000": continue
    try: same = open(target, "rb").read() == data
    except OSError: same = False
    if not same:
        os.makedirs(os.path.dirname(target), exist_ok=True)
        open(target, "wb").write(data)
    os.chmod(target, 0o755 if mode == b"100755" else 0o644)
cat.stdin.close(); cat.wait()
for gone in before - set(files):
    try: os.remove(os.path.join(src, gone))
    except OSError: pass
open(manifest, "w").write("\0".join(sorted(files)))
EOF
}

if [ -n "$check_only" ]; then
  mkdir -p "$src" && sync_copy || exit 1
  while IFS=$'\t' read -r id file what; do
    if why=$(table_py apply "$id"); then echo "$id: applies"; else echo "$id: stale ($why)"; fi
    table_py restore
  done < <(table_py list)
  exit 0
fi

build_all() {
  cmake --build "$out/native" -j "$jobs" && cmake --build "$out/win" -j "$jobs"
}

mkdir -p "$src" "$logs"
sync_copy || { echo "mutants: cannot copy $rev into $src" >&2; exit 1; }
if [ ! -f "$out/win/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$out/win" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >"$logs/configure.log" 2>&1 || { echo "mutants: configure failed" >&2; exit 1; }
fi
if [ ! -f "$out/native/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$out/native" -DCMAKE_BUILD_TYPE=Release >>"$logs/configure.log" 2>&1 ||
    { echo "mutants: configure failed" >&2; exit 1; }
fi
echo "mutants: building $rev in $out"
build_all >"$logs/build.log" 2>&1 || { echo "mutants: the tree does not build unchanged; see $logs/build.log" >&2; exit 1; }

# The copy's own runner scripts, which its tests' scripts expect.
source "$src/scripts/prelude.sh" "$out"
source "$src/scripts/display.sh"
start_display || exit 1

# run_test NAME TREE LIMIT LOG: 0 passed, 1 failed, 2 timed out.
run_test() {
  timeout -k 10 "$3" ctest --test-dir "$out/$2" -R "^$1\$" --output-on-failure >"$4" 2>&1
  local status=$?
  if [ $status -ge 124 ]; then
    # What the stopped test left running in Wine goes with the wineserver.
    wineserver -k >/dev/null 2>&1
    return 2
  fi
  [ $status = 0 ] && return 0
  grep -qE "Test +#[0-9]+: $1 .*\*\*\*Timeout" "$4" && return 2
  return 1
}

# The clean tree's tests, timed, once per tree (the table aside): the order
# and the limits.
tree=$(git -C "$repo" ls-tree -r "$rev" | grep -v '	scripts/mutants\.' | sha1sum | cut -c1-40)
baseline=$mutants/baseline-$tree.tsv
if [ ! -f "$baseline" ]; then
  echo "mutants: timing the tests on the unchanged tree"
  : > "$baseline.new"
  for tree_dir in native win; do
    while read -r name; do
      begin=$(date +%s%N)
      run_test "$name" "$tree_dir" 900 "$logs/baseline-$name.log" </dev/null
      status=$?
      seconds=$(awk -v ns=$(($(date +%s%N) - begin)) 'BEGIN { printf "%.1f", ns / 1e9 }')
      printf '%s\t%s\t%s\t%s\n' "$name" "$tree_dir" "$seconds" "$status" >> "$baseline.new"
    done < <(ctest --test-dir "$out/$tree_dir" -N | sed -n 's/^ *Test *#[0-9]*: //p')
  done
  mv "$baseline.new" "$baseline"
fi
tests=()
while IFS=$'\t' read -r name tree_dir seconds status; do
  if [ "$status" != 0 ]; then
    echo "mutants: left out $name, which does not pass on the unchanged tree (see $logs/baseline-$name.log)"
    continue
  fi
  # Twice the clean time and a minute more: slow for a loaded machine is
  # not yet a hang.
  tests+=("$name $tree_dir $(awk -v s="$seconds" 'BEGIN { printf "%d", s * 2 + 60 }')")
done < <(sort -t $'\t' -k3,3g "$baseline")
echo "mutants: ${#tests[@]} tests, fastest first"

wanted=" $* "
caught=0 survived=0 stale=0 broken=0 total=0
while IFS=$'\t' read -r id file what; do
  [ $# -gt 0 ] && [[ $wanted != *" $id "* ]] && continue
  total=$((total + 1))
  begin=$(date +%s)
  if ! why=$(table_py apply "$id"); then
    result="stale ($why)"
    stale=$((stale + 1))
  elif ! build_all >"$logs/$id.build.log" 2>&1 </dev/null; then
    result="did not build (see $logs/$id.build.log)"
    broken=$((broken + 1))
  else
    result=survived
    for entry in "${tests[@]}"; do
      read -r name tree_dir limit <<<"$entry"
      run_test "$name" "$tree_dir" "$limit" "$logs/$id.test.log" </dev/null
      case $? in
        1) result="caught by $name"; break ;;
        2) result="caught (timed out) by $name"; break ;;
      esac
    done
    case $result in caught*) caught=$((caught + 1)) ;; *) survived=$((survived + 1)) ;; esac
  fi
  table_py restore
  printf '%-26s %-44s %4ss  %s\n' "$id" "$result" "$(($(date +%s) - begin))" "$what"
done < <(table_py list)

# The copy is left as committed; its build follows at the next run.
echo "caught $caught of $total ($survived survived, $stale stale, $broken did not build) in $(($(date +%s) - started)) s"
