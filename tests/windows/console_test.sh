#!/usr/bin/env bash
# The Windows console back-end in a real terminal: bbsglimra.exe -L under Wine inside tmux. The
# local log-in, the menu drawn through direct cell writes, F7 and Page Down read as PC scan codes
# (the about pages, quit), exit code 0. CTest runs it in the Windows build's directory.
set -euo pipefail
build=$(realpath "$1") dir=$(mktemp -d) session="glimra-console-$$"
trap 'tmux kill-session -t "$session" 2>/dev/null || true; rm -rf "$dir"' EXIT
(cd "$(dirname "$0")/../.." && wine "$build/makedb.exe" --setup "Z:$dir" </dev/null >/dev/null)
cd "$dir"
TERM=xterm tmux new-session -d -s "$session" -x 80 -y 25 \
  "wine '$build/bbsglimra.exe' -L; echo \$? > exit.txt"
see() { # waits up to 20 s for the terminal to show $1
  for _ in $(seq 200); do tmux capture-pane -p -t "$session" | grep -qF -- "$1" && return; sleep 0.1; done
  echo "not shown: $1" && tmux capture-pane -p -t "$session" && exit 1
}
see "Name or handle"
tmux send-keys -t "$session" Enter && see "[1] Play Glimra"
tmux send-keys -t "$session" F7 && see "Green means letter is in the right space"
tmux send-keys -t "$session" Space Space && see "[1] Play Glimra"
tmux send-keys -t "$session" PageDown
for _ in $(seq 200); do [ -s exit.txt ] && break; sleep 0.1; done
[ "$(cat exit.txt)" = 0 ]
