#!/usr/bin/env bash
# The main job: build dist/, then open a game link with the launcher in a
# sample game folder under Wine, with a stand-in hl.exe, and show what happened.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tools/deps.sh || exit 1
tools/build.sh >/dev/null || { echo "build failed"; exit 1; }
echo "Built: $(ls dist/x86 | tr '\n' ' ')(dist/x86, shipped)  $(ls dist/x64 | tr '\n' ' ')(dist/x64, run here)"

work=$(mktemp -d /tmp/morvel-demo.XXXXXX)
state=$work/wine-session.env
trap '"$root/tests/wine/session.sh" stop "$state" >/dev/null; rm -rf "$work"' EXIT
tests/wine/session.sh start "$state" >/dev/null || exit 1

game=$work/Half-Life
mkdir -p "$game/cstrike"
cp dist/x64/morvel.exe "$game/"
cp build/x64/bin/standin_hl.exe "$game/hl.exe"
printf 'name "player"\r\nbind w +forward\r\n' >"$game/cstrike/config.cfg"
link='cs992003://cstrike:192.168.1.20:27015/'

echo "Game folder:  $game"
echo "Opening link: $link"
tests/wine/session.sh run "$state" "$game/morvel.exe" "$link"
status=$?
echo "Launcher exit status: $status"
rec=$game/hl-record
echo "The game got the command line:  $(cat "$rec/cmdline.txt")"
echo "... in the working directory:   $(cat "$rec/cwd.txt")"
echo "The connect script it saw:      $(cat "$rec/joinserver.cfg")"
echo "config.cfg's last line:         $(tail -n 1 "$game/cstrike/config.cfg")"
if [ -e "$game/cstrike/joinserver.cfg" ]; then
  echo "joinserver.cfg is still there (unexpected)"; exit 1
fi
echo "joinserver.cfg after the game:  gone"
