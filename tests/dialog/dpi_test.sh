#!/usr/bin/env bash
# The real exe at 96, 144 and 192 DPI: every label, value, group, button and About box text fits where it is
# shown, and the two columns keep their 1:2 split of the list's width. PROFILE_DIR:LOCALE replays under that
# locale (de_DE.UTF-8), so in the language whose satellite the program picks for it; each locale must show
# a dialog caption of its own, or a satellite was not picked. At 96 DPI, each list as a screen reader in
# another process meets it: named by its group's caption, in that language, with its first row focused (the
# hardware list has the keyboard focus) and none selected.
#   dpi_test.sh BIN_DIR PROFILE_DIR[:LOCALE] ...
set -uo pipefail
bin=${1:?bin dir}
shift
top=$(cd "$(dirname "$0")/../.." && pwd)
. "$top/tools/lib/wine-env.sh"
system=$(resource_id IDC_LIST_SYSTEM) && hardware=$(resource_id IDC_LIST_HARDWARE) || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL $*"; failed=$((failed + 1)); }

runs=0
declare -A captions
for run in "$@"; do
profile=${run%%:*} locale=
in_locale=()
if [ "$profile" != "$run" ]; then locale=${run#*:}; in_locale=(with_locale "$locale"); fi
for dpi in 96 144 192; do
  runs=$((runs + 1))
  name="$(basename "$profile")${locale:+ in $locale} at $dpi"
  out=$work/$runs.txt
  access=()
  [ "$dpi" = 96 ] && access=(--access)
  if ! KCC_BIN_DIR=$bin "${in_locale[@]}" "$top/tools/replay" "$profile" --dpi "$dpi" --fit "${access[@]}" > "$out" 2> "$work/$runs.err"; then
    fail "$name dpi: replay failed: $(cat "$work/$runs.err")"
    continue
  fi
  grep -P '^fit\t.*\tcut\t' "$out" | sed "s/^/FAIL $name dpi: text cut: /" && failed=$((failed + 1))
  [ "$(grep -c '^dialog' "$out")" = 2 ] || fail "$name dpi: the main dialog and the About box were not both measured"
  [ "$(grep -c '^fit' "$out")" -ge 20 ] || fail "$name dpi: too few texts measured"
  # Columns: label W - 2W/3, value 2W/3, the same for both lists.
  awk -F'\t' -v dpi="$name" -v lists="$system $hardware" '
    $1 == "column" { w[$2, $3] = $4 }
    END {
      split(lists, ids, " ")
      for (i = 1; i <= 2; ++i) {
        id = ids[i]
        total = w[id, 0] + w[id, 1]
        if (total == 0 || w[id, 1] != int(2 * total / 3)) { print "FAIL " dpi " dpi: list " id " columns " w[id, 0] " and " w[id, 1]; bad = 1 }
      }
      exit bad
    }' "$out" || failed=$((failed + 1))
  if [ "$dpi" = 96 ]; then
    awk -F'\t' -v run="$name" -v hardware="$hardware" -v lists="$hardware $system" '
      $1 == "name" { named[$2] = $3; caption[$2] = $4 }
      $1 == "focus" { focused[$2] = $3; selected[$2] = $4; keyboard[$2] = $5 }
      END {
        split(lists, ids, " ")
        for (i = 1; i <= 2; ++i) {
          id = ids[i]
          if (named[id] == "" || named[id] != caption[id]) { print "FAIL " run " dpi: list " id " is named \"" named[id] "\", its group \"" caption[id] "\""; bad = 1 }
          if (focused[id] != "0" || selected[id] != "0") { print "FAIL " run " dpi: list " id " focuses row " focused[id] " with " selected[id] " selected"; bad = 1 }
        }
        if (keyboard[hardware] != "keyboard") { print "FAIL " run " dpi: the hardware list does not have the keyboard focus"; bad = 1 }
        exit bad
      }' "$out" || failed=$((failed + 1))
  fi
  width=$(awk -F'\t' -v list="$hardware" '$1 == "column" && $2 == list { s += $4 } END { print s }' "$out")
  caption=$(grep -m 1 '^dialog' "$out" | cut -f2)
  [ -z "$locale" ] || captions[$locale]=$caption
  # The label with the least room to spare, for whoever words the next language.
  tightest=$(awk -F'\t' '$1 == "fit" && $4 == 0 && (best == "" || $6 - $5 < best) { best = $6 - $5; text = $8 " " $5 "/" $6 }
                         END { print text }' "$out")
  named=$(awk -F'\t' '$1 == "name" { printf "%s%s", sep, $3; sep = ", " }' "$out")
  focus=$(awk -F'\t' '$1 == "focus" && $5 == "keyboard" { print $6 }' "$out")
  echo "$name dpi: \"$caption\", list width $width, $(grep -c '^fit' "$out") texts measured, tightest: $tightest${named:+, lists named $named, accessible focus $focus}"
done
done
distinct=$(printf '%s\n' "${captions[@]}" | sort -u | wc -l)
[ "$distinct" = "${#captions[@]}" ] || fail "${#captions[@]} locales showed only $distinct different captions"
echo "dpi: $runs runs, $failed failures"
[ "$failed" = 0 ]
