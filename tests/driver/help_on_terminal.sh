#!/usr/bin/env bash
# The help as a person sees it on a UTF-8 terminal 80 columns wide (tmux): every line of
# what the program writes when redirected (Shift-JIS), shown converted and none wrapped.
#
#   help_on_terminal.sh PROGRAM [LAUNCHER]     exit 0 pass, 1 fail, 77 skipped (no tmux)
set -euo pipefail
exe=$1
launcher=${2:-}
command -v tmux >/dev/null || { echo "tmux not found: not checked"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/gmgather-help.XXXXXX")
tmux=(tmux -u -S "$work/tmux.socket")
cleanup() {
  "${tmux[@]}" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

run=("$exe")
[ -n "$launcher" ] && run=("$launcher" "$exe")
"${run[@]}" --help >"$work/help.sjis"
iconv -f CP932 -t UTF-8 <"$work/help.sjis" | tr -d '\r' >"$work/want"

printf '%q ' "${run[@]}" >"$work/command"
LANG=C.UTF-8 "${tmux[@]}" new-session -d -x 80 -y 60 \
  "LANG=C.UTF-8 $(cat "$work/command") --help; echo '<end of help>'; sleep 600"
wait_for() {  # up to 30 s for a line on the screen
  for _ in $(seq 150); do
    "${tmux[@]}" capture-pane -p -S - >"$work/pane"
    grep -qF -- "$1" "$work/pane" && return 0
    sleep 0.2
  done
}
wait_for "$(tail -n 1 "$work/want")"
# A program alone on its console waits for Enter before its window would close: under
# Wine, one started straight from a terminal is. Elsewhere the key lands after the end.
"${tmux[@]}" send-keys Enter
wait_for '<end of help>'
# What is shown up to the end, without the blank line the Enter may have left.
sed -n '/^<end of help>/q;p' "$work/pane" | awk '{ line[NR] = $0 } NF { last = NR } END { for (i = 1; i <= last; i++) print line[i] }' >"$work/shown"
if ! diff -u "$work/want" "$work/shown"; then
  echo "help_on_terminal: the terminal shows the help otherwise than written (above: - written, + shown)"
  exit 1
fi
echo "help_on_terminal: $(wc -l <"$work/shown") lines shown as written"
