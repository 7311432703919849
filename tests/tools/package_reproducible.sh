#!/usr/bin/env bash
# The downloads are reproducible: the current commit, cloned into two
# folders of different names and depths, packaged in each by
# scripts/package.sh, gives byte-identical zips and sums. Two full builds of
# both Windows targets: long, so not part of the default test run.
#   bash tests/tools/package_reproducible.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
commit=$(git -C "$repo" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/morlant-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
sides=("$work/a" "$work/second/checkout-with-a-longer-name")

for side in "${sides[@]}"; do
  mkdir -p "$(dirname "$side")"
  git clone -q "$repo" "$side"
  git -C "$side" checkout -q "$commit"
  echo "== packaging $commit in $side"
  start=$SECONDS
  (cd "$side" && bash scripts/package.sh >"$side.log" 2>&1) || { tail -20 "$side.log"; exit 1; }
  echo "== packaged in $((SECONDS - start)) s"
done

a=${sides[0]}/dist
b=${sides[1]}/dist
status=0
if ! diff <(cd "$a" && ls) <(cd "$b" && ls); then
  echo "FAIL: the two builds wrote different files"
  status=1
fi
count=0
for file in "$a"/*; do
  name=$(basename "$file")
  count=$((count + 1))
  if cmp -s "$file" "$b/$name"; then
    echo "same: $name"
  else
    echo "FAIL: $name differs"
    status=1
  fi
done
[ "$count" -eq 3 ] || { echo "FAIL: expected two zips and a sums file, found $count files"; status=1; }
(cd "$a" && sha256sum -c --quiet ./*SHA256SUMS.txt) || status=1
if [ "$status" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit "$status"
