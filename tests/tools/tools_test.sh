#!/usr/bin/env bash
# End-to-end tests of dlgread and the benchmark against the test dialog (fakedlg.exe) under wine, and of
# KCCCapture's text on a console and through a pipe.
#   tools_test.sh CASE FAKEDLG_EXE     (KCC_TESTENV, KCC_BIN_DIR, KCC_SOURCE_DIR set by ctest)
set -uo pipefail
case=${1:?case}
fake=${2:?fakedlg.exe}
. "$KCC_SOURCE_DIR/tools/lib/wine-env.sh"
wine_env_load "$KCC_TESTENV" || exit 1
dlgread=$KCC_BIN_DIR/dlgread.exe
launchtime=$KCC_BIN_DIR/launchtime.exe
work=$(mktemp -d)
caption="Fake $case $$"
about="About Fake System Information"
# The fake's resource ids.
fake_ids=$KCC_SOURCE_DIR/tests/tools/fakedlg.h
hardware=$(resource_id IDC_FAKE_LIST_HARDWARE "$fake_ids")
system=$(resource_id IDC_FAKE_LIST_SYSTEM "$fake_ids")
failures=0
fake_pid=

cleanup() {
  if [ -n "$fake_pid" ] && kill -0 "$fake_pid" 2>/dev/null; then
    wine "$dlgread" close "$caption" 3000 >/dev/null 2>&1 || true
    sleep 0.2
    kill "$fake_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_status NAME EXPECTED_STATUS COMMAND...: runs COMMAND, keeps stdout in $work/out.
expect_status() {
  local name=$1 want=$2; shift 2
  "$@" >"$work/out" 2>"$work/err"
  local got=$?
  [ "$got" = "$want" ] || fail "$name: exit status $got, expected $want; stderr: $(cat "$work/err")"
}

# expect_output NAME EXPECTED_FILE: compares $work/out byte for byte.
expect_output() {
  if ! cmp -s "$1.expected" "$work/out"; then
    fail "$(basename "$1"): output differs (expected, then actual)"
    diff -u "$1.expected" "$work/out" | cat -A | head -40
  fi
}

line() { local IFS=$'\t'; printf '%s\n' "$*"; }

start_fake() {
  wine "$fake" --caption "$caption" "$@" &
  fake_pid=$!
}

# Waits for the started fake to end and checks its exit status (the dialog's result).
expect_fake_exit() {
  local i
  for i in $(seq 100); do kill -0 "$fake_pid" 2>/dev/null || break; sleep 0.05; done
  if kill -0 "$fake_pid" 2>/dev/null; then fail "fakedlg still running"; return; fi
  wait "$fake_pid"
  local got=$?
  [ "$got" = "$1" ] || fail "fakedlg exit status $got, expected $1"
  fake_pid=
}

hardware_rows() {
  line "$1" "$hardware" 0 Processor "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz"
  line "$1" "$hardware" 1 "Processor speed" "3.00 GHz"
  line "$1" "$hardware" 2 Memory " 512 MBytes"
  line "$1" "$hardware" 3 Cache ""
}

system_rows() {
  line "$1" "$system" 0 Manufacturer "日本電気株式会社"
  line "$1" "$system" 1 Model 'Line one\nLine two'
  line "$1" "$system" 2 "System version" 'tab\there'
  line "$1" "$system" 3 "Serial number" 'back\slash'
  line "$1" "$system" 4 "" "OEM model"
  line "$1" "$system" 5 Symbol "😀"
  line "$1" "$system" 6 "Line ends" 'a\r\nb'
}

# The two boxes as wait prints them; with arguments, their icon fields (wait --icons).
boxes() {
  local first=${1:-} second=${2:-}
  line box "" 'WMI Open Error(IWbemServices.ExecQuery)\nSelect * From Win32_NoSuchClass' ${first:+"$first"}
  line box "$caption" 'WMI Open Error(IEnumWbemClassObject.Next)\nSelect * From Win32_CacheMemory Where level = 4' ${second:+"$second"}
}

# Drops the first field: the row lines of replay become those of lists.
strip_first() { sed 's/^[^\t]*\t//'; }

case $case in
  wait)
    # Both boxes are answered in order while the dialog initialises; then the dialog is visible.
    start_fake --boxes 2 --delay 300
    expect_status "wait --icons" 0 wine "$dlgread" --icons wait "$caption" 20000
    boxes noicon icon > "$work/wait.expected"
    expect_output "$work/wait"
    expect_status "lists after wait" 0 wine "$dlgread" lists "$caption"
    { hardware_rows X; system_rows X; } | strip_first > "$work/lists.expected"
    expect_output "$work/lists"
    # Nothing left to answer: a second wait prints nothing.
    expect_status "second wait" 0 wine "$dlgread" wait "$caption" 2000
    : > "$work/none.expected"
    expect_output "$work/none"
    expect_status "time-out" 1 wine "$dlgread" wait "No such caption $$" 300
    expect_output "$work/none"
    [ -s "$work/err" ] || fail "time-out: no message on stderr"
    expect_status "other process" 1 wine "$dlgread" --pid 4 wait "$caption" 300
    expect_status "close" 0 wine "$dlgread" close "$caption"
    expect_fake_exit 2
    ;;

  lists)
    start_fake --long 3000
    expect_status wait 0 wine "$dlgread" wait "$caption" 20000
    expect_status lists 0 wine "$dlgread" lists "$caption"
    { hardware_rows X; system_rows X
      line X "$system" 7 Long "$(awk 'BEGIN { for (i = 0; i < 3000; i++) printf "%c", 97 + i % 26 }')"
    } | strip_first > "$work/lists.expected"
    expect_output "$work/lists"
    if grep -q $'\r' "$work/out"; then fail "carriage return in the output"; fi
    expect_status "lists of a missing dialog" 1 wine "$dlgread" lists "No such caption $$"
    expect_status close 0 wine "$dlgread" close "$caption"
    expect_fake_exit 2
    ;;

  replay)
    # The complete record as a replay writes it: boxes, then columns and rows of 1001, then 1000.
    start_fake --boxes 2
    wine "$dlgread" wait "$caption" 20000 > "$work/record" || fail "wait failed"
    wine "$dlgread" replay "$caption" >> "$work/record" || fail "replay failed"
    cp "$work/record" "$work/out"
    { boxes; line column "$hardware" 0 100; line column "$hardware" 1 200; hardware_rows row
      line column "$system" 0 120; line column "$system" 1 240; system_rows row; } > "$work/replay.expected"
    expect_output "$work/replay"
    expect_status close 0 wine "$dlgread" close "$caption"
    expect_fake_exit 2
    ;;

  empty)
    # Lists without columns (the program when WMI does not connect): nothing to print, still found.
    start_fake --empty
    expect_status wait 0 wine "$dlgread" wait "$caption" 20000
    : > "$work/empty.expected"
    expect_status replay 0 wine "$dlgread" replay "$caption"
    expect_output "$work/empty"
    expect_status lists 0 wine "$dlgread" lists "$caption"
    expect_output "$work/empty"
    expect_status close 0 wine "$dlgread" close "$caption"
    expect_fake_exit 2
    ;;

  select)
    # A box with the dialog's caption is never taken for the dialog.
    start_fake --boxes 2
    for _ in $(seq 200); do wine "$dlgread" window "" >/dev/null 2>&1 && break; sleep 0.05; done
    expect_status "controls of the first box" 0 wine "$dlgread" controls ""
    grep -q $'^control\t65535\tStatic\tvisible\tWMI Open Error(IWbemServices.ExecQuery)\\\\nSelect' "$work/out" ||
      fail "first box: no text static 65535: $(cat "$work/out")"
    grep -q $'^control\t1\tButton\tvisible\tOK$' "$work/out" || fail "first box: no OK button"
    expect_status "press OK on the first box" 0 wine "$dlgread" click "" 1
    for _ in $(seq 200); do wine "$dlgread" window "$caption" 2>/dev/null | grep -q $'^state\tvisible' && break; sleep 0.05; done
    expect_status "lists while only the box is visible" 1 wine "$dlgread" lists "$caption"
    expect_status "window of the box" 0 wine "$dlgread" window "$caption"
    pid=$(sed -n 's/^window\t[^\t]*\t//p' "$work/out")
    [ -n "$pid" ] || fail "window: no process id"
    expect_status "wait with the box's process" 0 wine "$dlgread" --pid "$pid" wait "$caption" 20000
    line box "$caption" 'WMI Open Error(IEnumWbemClassObject.Next)\nSelect * From Win32_CacheMemory Where level = 4' > "$work/box.expected"
    expect_output "$work/box"
    expect_status "lists of the process" 0 wine "$dlgread" --pid "$pid" lists "$caption"
    expect_status "lists of another process" 1 wine "$dlgread" --pid $((pid + 4)) lists "$caption"
    expect_status close 0 wine "$dlgread" --pid "$pid" close "$caption"
    expect_fake_exit 2
    ;;

  window)
    start_fake
    expect_status wait 0 wine "$dlgread" wait "$caption" 20000
    expect_status window 0 wine "$dlgread" window "$caption"
    grep -Eq $'^window\t0x[0-9a-f]{8}\t[0-9]+$' "$work/out" || fail "window line: $(cat "$work/out")"
    grep -Eq $'^rect\t-?[0-9]+\t-?[0-9]+\t-?[0-9]+\t-?[0-9]+$' "$work/out" || fail "rect line"
    grep -Eq $'^client\t[1-9][0-9]*\t[1-9][0-9]*$' "$work/out" || fail "client line"
    grep -Eq $'^state\tvisible\tnormal\tenabled\t(foreground|background)$' "$work/out" || fail "state line: $(cat "$work/out")"
    [ "$(wc -l < "$work/out")" = 4 ] || fail "window: not 4 lines"
    expect_status minimize 0 wine "$dlgread" sysmenu "$caption" 0xF020
    for _ in $(seq 100); do wine "$dlgread" window "$caption" | grep -q $'\tminimized\t' && break; sleep 0.05; done
    expect_status "window minimized" 0 wine "$dlgread" window "$caption"
    grep -Eq $'^state\tvisible\tminimized\t' "$work/out" || fail "not minimized: $(cat "$work/out")"
    expect_status restore 0 wine "$dlgread" sysmenu "$caption" 0xF120
    for _ in $(seq 100); do wine "$dlgread" window "$caption" | grep -q $'\tnormal\t' && break; sleep 0.05; done
    expect_status "window restored" 0 wine "$dlgread" window "$caption"
    grep -Eq $'^state\tvisible\tnormal\t' "$work/out" || fail "not restored: $(cat "$work/out")"
    expect_status "window of a missing dialog" 1 wine "$dlgread" window "No such caption $$"
    # Usage errors.
    expect_status "no arguments" 2 wine "$dlgread"
    expect_status "no caption" 2 wine "$dlgread" wait
    expect_status "unknown command" 2 wine "$dlgread" frobnicate "$caption"
    expect_status "bad id" 2 wine "$dlgread" click "$caption" one
    expect_status "bad time-out" 2 wine "$dlgread" wait "$caption" soon
    expect_status "unknown option" 2 wine "$dlgread" --verbose lists "$caption"
    expect_status "bad pid" 2 wine "$dlgread" --pid x lists "$caption"
    expect_status "extra argument" 2 wine "$dlgread" lists "$caption" extra
    expect_status close 0 wine "$dlgread" close "$caption"
    expect_fake_exit 2
    ;;

  about)
    # The window-menu path: WM_SYSCOMMAND with the About entry's command opens the About box, which is read
    # and closed by id.
    start_fake
    expect_status wait 0 wine "$dlgread" wait "$caption" 20000
    expect_status sysmenu 0 wine "$dlgread" sysmenu "$caption" "$(resource_id IDM_FAKE_ABOUT "$fake_ids")"
    expect_status "wait for the About box" 0 wine "$dlgread" wait --any "$about" 5000
    expect_status controls 0 wine "$dlgread" controls "$about"
    { line control "$(resource_id IDC_FAKE_VERSION "$fake_ids")" Static visible "Fake version 1.0"
      line control 1 Button visible OK; } > "$work/about.expected"
    expect_output "$work/about"
    expect_status "press OK" 0 wine "$dlgread" click "$about" 1
    for _ in $(seq 100); do wine "$dlgread" window "$about" >/dev/null 2>&1 || break; sleep 0.05; done
    expect_status "About box gone" 1 wine "$dlgread" window "$about"
    # OK of the main dialog ends it with IDOK.
    expect_status "click OK" 0 wine "$dlgread" click "$caption" 1
    expect_fake_exit 1
    ;;

  string)
    fakewin=$fake
    title=$(resource_id IDS_FAKE_TITLE "$fake_ids")
    expect_status "string $title" 0 wine "$dlgread" string "$fakewin" "$title"
    line "Fake System Information" > "$work/title.expected"
    expect_output "$work/title"
    japanese=$(resource_id IDS_FAKE_JAPANESE "$fake_ids")
    expect_status "string $japanese" 0 wine "$dlgread" string "$fakewin" "$japanese"
    line '日本語\tタブ' > "$work/japanese.expected"
    expect_output "$work/japanese"
    expect_status "missing string" 1 wine "$dlgread" string "$fakewin" 999
    expect_status "missing file" 1 wine "$dlgread" string "$work/none.dll" "$title"
    # The build's English satellite, which every build makes.
    title=$(resource_id IDS_APP_TITLE)
    expect_status "satellite string $title" 0 wine "$dlgread" string "$KCC_BIN_DIR/KCCSystemInfoENU.dll" "$title"
    [ -s "$work/out" ] || fail "satellite string $title empty"
    # The program's choice: English is the last resort of every language, and a folder without satellites
    # has none.
    mkdir -p "$work/english" "$work/empty"
    cp "$KCC_BIN_DIR/KCCSystemInfoENU.dll" "$work/english/"
    expect_status "satellite in a folder with English only" 0 wine "$dlgread" satellite "$work/english"
    line "$(windows_path "$work/english")\\KCCSystemInfoENU.dll" > "$work/english.expected"
    expect_output "$work/english"
    expect_status "satellite in a folder without one" 1 wine "$dlgread" satellite "$work/empty"
    ;;

  launchtime)
    # Three timed runs with both boxes answered on the way; the figures are printed, not judged.
    expect_status "3 runs" 0 wine "$launchtime" --runs 3 --warmup 0 --settle 0 --caption "$caption" "$fake" --caption "$caption" --boxes 2
    cat "$work/out"
    [ "$(grep -c $'^run\t' "$work/out")" = 3 ] || fail "not 3 run lines"
    grep -Eq $'^run\t3\t[0-9]+\\.[0-9]{3}\t[1-9][0-9]*\t[1-9][0-9]*\t2$' "$work/out" || fail "run line format"
    grep -q $'^runs\t3$' "$work/out" || fail "runs line"
    for key in median min q1 q3 max; do
      grep -Eq "^launch_ms_$key"$'\t[0-9]+\\.[0-9]{3}$' "$work/out" || fail "launch_ms_$key line"
    done
    grep -Eq $'^working_set_kb_median\t[1-9][0-9]*$' "$work/out" || fail "working set line"
    grep -Eq $'^peak_working_set_kb_median\t[1-9][0-9]*$' "$work/out" || fail "peak working set line"
    # Ready means filled lists: a dialog that fills them 400 ms late cannot be ready sooner.
    expect_status "lists ready" 0 wine "$launchtime" --runs 1 --warmup 0 --settle 0 --ready lists --caption "$caption" "$fake" --caption "$caption" --fill-delay 400
    ms=$(sed -n 's/^launch_ms_median\t//p' "$work/out")
    awk -v ms="$ms" 'BEGIN { exit !(ms >= 400) }' || fail "lists ready after $ms ms, before they were filled"
    # Lists that stay empty: the run fails and the program is ended.
    expect_status "lists never ready" 1 wine "$launchtime" --runs 1 --warmup 0 --timeout 1000 --ready lists --caption "$caption" "$fake" --caption "$caption" --empty
    grep -q "not ready" "$work/err" || fail "no time-out message: $(cat "$work/err")"
    expect_status "no dialog left" 1 wine "$dlgread" window "$caption"
    expect_status "no caption" 2 wine "$launchtime" --runs 1 "$fake"
    expect_status "no exe" 2 wine "$launchtime" --caption x
    expect_status "bad runs" 2 wine "$launchtime" --runs 0 --caption x "$fake"
    ;;

  baredlg)
    # The baseline from the real satellite's template, and the benchmark script end to end.
    satellite=$KCC_BIN_DIR/KCCSystemInfoENU.dll
    [ -f "$satellite" ] || { echo "FAIL: no $satellite"; exit 1; }
    title=$(dialog_caption "$dlgread" "$satellite") || fail "no application title"
    expect_status "bare dialog" 0 wine "$launchtime" --runs 2 --caption "$title" "$KCC_BIN_DIR/baredlg.exe"
    cat "$work/out"
    grep -q $'^runs\t2$' "$work/out" || fail "baredlg runs"
    # Its steps, written where the launcher said, on the launcher's clock.
    for step in entry satellite dialog visible; do
      grep -q $'^step_ms\t'"$step"$'\t' "$work/out" || fail "bare dialog: no step $step"
    done
    export KCC_BENCH_RUNS=2
    expect_status "run.sh" 0 "$KCC_SOURCE_DIR/tools/bench/run.sh" "$KCC_BIN_DIR"
    cat "$work/out"
    grep -q "baredlg.exe --thread" "$work/out" || fail "run.sh: no baredlg line"
    grep -Eq "^  (wmi connect|lists) " "$work/out" || fail "run.sh: the program's steps are missing"
    grep -q "^our own cost .*from the minimums" "$work/out" || fail "run.sh: no own cost"
    grep -q "KCCSystemInfoENU.dll" "$work/out" || fail "run.sh: no satellite size"
    ;;

  capture_text)
    # KCCCapture refusing a folder whose name is not ASCII: on a console of another code page (cmd's chcp 850,
    # on the terminal wine makes a console of) and through a pipe, the name arrives as it is, in UTF-8 on the
    # terminal (wine's console writes it so) and in the pipe.
    command -v script >/dev/null || { echo "SKIP: no script (util-linux) for a terminal"; exit 0; }
    folder=$work/Ünïcödé
    mkdir "$folder" && echo mine > "$folder/mine.txt"
    expected="$(windows_path "$folder") holds files that are not an earlier capture"
    export KCC_CAPTURE_EXE KCC_CAPTURE_FOLDER
    KCC_CAPTURE_EXE=$(windows_path "$KCC_BIN_DIR/KCCCapture.exe") KCC_CAPTURE_FOLDER=$(windows_path "$folder")
    # A terminal wide enough for the line: the console wraps at its width.
    timeout 120 script -qc 'stty cols 1000; wine cmd /c "chcp 850 >nul & %KCC_CAPTURE_EXE% %KCC_CAPTURE_FOLDER%"' \
      /dev/null </dev/null >"$work/console" 2>&1
    grep -qF "$expected" "$work/console" || { fail "console: not the folder's name"; cat -A "$work/console"; }
    expect_status "pipe" 2 wine "$KCC_BIN_DIR/KCCCapture.exe" "$(windows_path "$folder")"
    grep -qF "KCCCapture: $expected" "$work/err" || { fail "pipe: not the folder's name"; cat -A "$work/err"; }
    [ "$(ls "$folder")" = mine.txt ] || fail "the refused folder changed"
    # Options start with / or - in any case, as the program's switches: -REDACT is one (the folder is still
    # refused for its files, not the command line), and an option it does not know is never a folder name.
    expect_status "-REDACT" 2 wine "$KCC_BIN_DIR/KCCCapture.exe" -REDACT "$(windows_path "$folder")"
    grep -qF "KCCCapture: $expected" "$work/err" || fail "-REDACT: not taken as an option: $(cat "$work/err")"
    mkdir "$work/cwd" && cd "$work/cwd" || exit 1
    expect_status "--redact" 2 wine "$KCC_BIN_DIR/KCCCapture.exe" --redact
    grep -q '^KCCCapture: not understood: --redact' "$work/err" && grep -q '^usage: ' "$work/err" ||
      fail "--redact: no refusal with the usage: $(cat "$work/err")"
    [ -z "$(ls -A)" ] || fail "--redact: something was written: $(ls -A)"
    cd - > /dev/null || exit 1
    ;;

  *) echo "unknown case $case"; exit 2 ;;
esac

[ "$failures" = 0 ] || { echo "$failures failure(s) in $case"; exit 1; }
echo "ok: $case"
