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
a=$work/a
b=$work/second/checkout-with-a-longer-name

for side in "$a" "$b"; do
  mkdir -p "$(dirname "$side")"
  git clone -q "$repo" "$side" && git -C "$side" checkout -q "$commit"
  echo "== packaging $commit in $side"
  start=$SECONDS
  (cd "$side" && bash scripts/package.sh >"$side.log" 2>&1) || { tail -20 "$side.log"; exit 1; }
  echo "== packaged in $((SECONDS - start)) s"
done

status=0
fail() { echo "FAIL: $*"; status=1; }
diff <(cd "$a/dist" && ls) <(cd "$b/dist" && ls) || fail "the two builds wrote different files"
files=("$a"/dist/*)
[ ${#files[@]} -eq 3 ] || fail "expected two zips and a sums file, found ${#files[@]} files"
for file in "${files[@]}"; do
  if cmp -s "$file" "$b/dist/${file##*/}"; then echo "same: ${file##*/}"; else fail "${file##*/} differs"; fi
done
(cd "$a/dist" && sha256sum -c --quiet ./*SHA256SUMS.txt) || fail "the sums do not match the zips"
if [ "$status" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit "$status"
