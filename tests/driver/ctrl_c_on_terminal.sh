#!/usr/bin/env bash
# Ctrl+C pressed at the prompt, as a person does it on a terminal (tmux): the terminal
# sends SIGINT to the program waiting for the definition file's name, which must end with
# status 130 and its one line, and leave the folder (an earlier result set) as it was.
#
#   ctrl_c_on_terminal.sh PROGRAM [LAUNCHER]     exit 0 pass, 1 fail, 77 skipped
#
# Skipped with a launcher (Wine): a program alone on a Wine console is another case,
# which tools/windows_e2e.sh checks at its console.
set -euo pipefail
exe=$(realpath "$1")
[ -z "${2:-}" ] || { echo "a launcher starts the program: not checked here"; exit 77; }
command -v tmux >/dev/null || { echo "tmux not found: not checked"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/gmgather-ctrl-c.XXXXXX")
tmux=(tmux -u -S "$work/tmux.socket")
cleanup() {
  "${tmux[@]}" kill-server 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/run"
for name in 入力用･目標速度スペクトル.csv 入力用･位相用加速度波形.csv 参考･各ケースの最大速度.csv; do
  printf 'an earlier run wrote %s\r\n' "$name" >"$work/run/$name"
done
printf 'folder definition\r\n1,1\r\n' >"$work/run/def.csv"
folder_state() { (cd "$work/run" && ls -A | LC_ALL=C sort | while IFS= read -r f; do echo "$f $(cksum <"$f")"; done); }
before=$(folder_state)

printf 'cd %q && LANG=C.UTF-8 %q; echo "exit status $?"; sleep 600\n' "$work/run" "$exe" >"$work/terminal.sh"
LANG=C.UTF-8 "${tmux[@]}" new-session -d -x 120 -y 10 "bash '$work/terminal.sh'"
wait_for() {  # up to 30 s for a text on the screen
  for _ in $(seq 150); do
    "${tmux[@]}" capture-pane -p -S - >"$work/pane"
    grep -qF -- "$1" "$work/pane" && return 0
    sleep 0.2
  done
  echo "ctrl_c_on_terminal: the terminal did not show: $1"
  cat "$work/pane"
  exit 1
}
wait_for '定義ファイル:'
"${tmux[@]}" send-keys C-c
wait_for 'exit status'
grep -qF 'exit status 130' "$work/pane" || { echo "ctrl_c_on_terminal: not status 130:"; cat "$work/pane"; exit 1; }
grep -qF 'gmgather: stopped by SIGINT: the earlier result files are as they were' "$work/pane" ||
  { echo "ctrl_c_on_terminal: the line is missing:"; cat "$work/pane"; exit 1; }
after=$(folder_state)
[ "$before" = "$after" ] || { echo "ctrl_c_on_terminal: the folder changed:"; diff <(echo "$before") <(echo "$after"); exit 1; }
echo "ctrl_c_on_terminal: status 130 at the prompt, the folder as it was"
