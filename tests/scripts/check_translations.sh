#!/usr/bin/env bash
# Every text the window shows has its translation: Qt's lupdate reads the sources into a copy of each
# .ts file, and any entry it leaves unfinished (a new or changed text), obsolete or vanished (a text
# the sources no longer have) fails the check, named. The files in the tree are not touched.
#   check_translations.sh SOURCE_DIR LUPDATE
set -euo pipefail
root=$1
lupdate=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for ts in "$root"/translations/*.ts; do
  copy=$scratch/$(basename "$ts")
  cp "$ts" "$copy"
  "$lupdate" -silent -I "$root" "$root/app" -extensions cpp,h -locations none -source-language de \
    -target-language "$(basename "$ts" .ts | sed 's/.*_//')" -ts "$copy"
  if ! cmp -s "$ts" "$copy"; then
    echo "$(basename "$ts"): not as lupdate leaves it (run the lupdate line in the README):"
    diff -u "$ts" "$copy" | sed -n '3,40p'
    status=1
  fi
  if grep -n -B2 'type="\(unfinished\|obsolete\|vanished\)"' "$copy"; then
    echo "$(basename "$ts"): texts without a finished translation, above"
    status=1
  fi
done
exit $status
