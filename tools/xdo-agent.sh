#!/usr/bin/env bash
# Runs xdotool on behalf of test programs inside Wine, which cannot start
# Linux programs: each request file DIR/N.req holds xdotool's arguments; the
# agent answers with DIR/N.done holding the exit code. Ends when DIR/stop
# appears or its parent shell goes away.
dir=$1
parent=$PPID
mkdir -p "$dir"
while [ ! -e "$dir/stop" ] && kill -0 "$parent" 2>/dev/null; do
  shopt -s nullglob
  for req in "$dir"/*.req; do
    base=${req%.req}
    # Requests written in text mode under Wine end in CR LF.
    read -r -a args < <(tr -d '\r' < "$req")
    rm -f "$req"
    xdotool "${args[@]}" >/dev/null 2>&1
    echo $? > "$base.tmp" && mv "$base.tmp" "$base.done"
  done
  sleep 0.01
done
