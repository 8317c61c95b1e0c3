#!/usr/bin/env bash
# The main job, on a fresh machine: build dist/, install the launcher into a
# sample Half-Life folder by driving the real installer under Wine, open a
# game link through the Windows shell as a browser hands it over, and show the
# stand-in game joining a stand-in server. Screenshots of the installer's
# windows go to out/screenshots/.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
say() { printf '\n== %s\n' "$*"; }
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

say "Installing what is missing and building"
tools/deps.sh || exit 1
tools/build.sh >"$root/build-demo.log" 2>&1 || { cat "$root/build-demo.log"; echo "build failed"; exit 1; }
rm -f "$root/build-demo.log"
echo "dist/x86 (shipped, 32-bit): $(ls dist/x86 | tr '\n' ' ')"
echo "dist/x64 (the twin this machine runs under Wine): $(ls dist/x64 | tr '\n' ' ')"

work=$(mktemp -d /tmp/morvel-demo.XXXXXX)
state=$work/wine-session.env
bg=()
cleanup() {
  for pid in "${bg[@]}"; do kill "$pid" 2>/dev/null; done
  "$root/tests/wine/session.sh" stop "$state" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

say "Starting Wine (fresh prefix, virtual screen)"
tests/wine/session.sh start "$state" "$root/build/x64/bin/keepalive.exe" || exit 1
# shellcheck disable=SC1090
. "$state"
run() { "$root/tests/wine/session.sh" run "$state" "$@"; }

game_unix=$WINEPREFIX/drive_c/Games/Half-Life
game='C:\Games\Half-Life'
mkdir -p "$game_unix/cstrike"
cp build/x64/bin/standin_hl.exe "$game_unix/hl.exe"
printf 'name "player"\r\nbind w +forward\r\n' >"$game_unix/cstrike/config.cfg"
printf 'hold\n' >"$game_unix/hl-control.txt"   # the stand-in game stays until told to quit
echo "Sample game folder $game: hl.exe (stand-in game), cstrike\\config.cfg"

say "Running the installer (dist/x64/morvelinstall.exe): build \"1.6 9/9/2003\", folder $game"
shots=$root/out/screenshots
rm -rf "$shots"; mkdir -p "$shots"
run "$root/build/x64/bin/drive_installer.exe" "$(winpath "$root/dist/x64/morvelinstall.exe")" 0 "$game" \
  "$(winpath "$shots")" || { echo "the installer did not complete"; exit 1; }
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] && convert "$bmp" -crop 640x420+0+0 +repage "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "Screenshots: $(cd "$root" && ls out/screenshots/*.png | tr '\n' ' ')"
[ -f "$game_unix/morvel.exe" ] && echo "morvel.exe is now in $game"
echo "Registered open command for cs992003:"
run reg query 'HKCR\cs992003\shell\open\command' 2>/dev/null | tr -d '\r' | grep -E 'REG_SZ' | sed 's/^ */  /'

say "Starting the stand-in server on 127.0.0.1"
run "$root/build/x64/bin/standin_server.exe" "$(winpath "$work/port")" "$(winpath "$work/joins")" 1 60 \
  >"$work/server.out" 2>&1 </dev/null &
bg+=($!)
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(tr -d '\r\n' <"$work/port" 2>/dev/null)
[ -n "$port" ] || { echo "the server did not start"; cat "$work/server.out"; exit 1; }
cat "$work/server.out"

link="cs992003://cstrike:127.0.0.1:$port/"
say "Opening $link through the Windows shell (start, as a browser hands a link over)"
run start /wait "$link" </dev/null >/dev/null 2>&1 &
shell=$!
bg+=("$shell")
for _ in $(seq 300); do [ -s "$work/joins" ] && break; sleep 0.1; done
if [ ! -s "$work/joins" ]; then echo "no join reached the server"; exit 1; fi
tail -n +2 "$work/server.out"
rec=$game_unix/hl-record
for _ in $(seq 100); do [ -e "$rec/started" ] && break; sleep 0.1; done
echo "The game got the command line:   $(cat "$rec/cmdline.txt")"
echo "... in the working directory:    $(cat "$rec/cwd.txt")"
echo "Its console ran:                 $(tr '\n' '|' <"$rec/console.log" | sed 's/|$//; s/|/ | /g')"
echo "The server answered the game:    $(cut -d' ' -f2- <"$rec/connect.txt")"
echo "joinserver.cfg while it runs:    $(cat "$game_unix/cstrike/joinserver.cfg" 2>/dev/null || echo '(missing!)')"

say "Quitting the game"
touch "$game_unix/hl-release"
for _ in $(seq 200); do kill -0 "$shell" 2>/dev/null || break; sleep 0.1; done
wait "$shell" 2>/dev/null
last=$(tail -c 19 "$game_unix/cstrike/config.cfg")
echo "config.cfg now ends with:        $last"
if [ -e "$game_unix/cstrike/joinserver.cfg" ]; then gone="NO, still there"; else gone="yes"; fi
echo "joinserver.cfg gone:             $gone"

say "Summary"
ok=yes
[ "$last" = "exec joinserver.cfg" ] || ok=no
[ "$gone" = yes ] || ok=no
grep -q "welcome cstrike" "$rec/connect.txt" || ok=no
echo "installed: yes; link opened through the shell: yes; server got the join: yes; game quit and cleaned up: $ok"
[ $ok = yes ]
