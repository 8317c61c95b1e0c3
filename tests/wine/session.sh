#!/usr/bin/env bash
# One Wine session for a test run: a fresh prefix in a temporary folder, a
# virtual X screen, one persistent wineserver, and a small hidden-window
# program that keeps Wine's desktop up between the tests' program starts.
#
#   session.sh start STATE_FILE [KEEPALIVE_EXE]   writes the session's variables
#   session.sh stop  STATE_FILE                   stops everything it started
#   session.sh run   STATE_FILE PROGRAM [ARGS]    runs a Windows program in it
set -uo pipefail
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
action=${1:?action} state=${2:?state file}
shift 2

stop_session() {
  [ -f "$state" ] || return 0
  # shellcheck disable=SC1090
  . "$state"
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    WINEPREFIX=$WINEPREFIX "$WINESERVER" -k >/dev/null 2>&1
    # wineserver -k returns before the server has gone; wait for it.
    WINEPREFIX=$WINEPREFIX timeout 20 "$WINESERVER" -w >/dev/null 2>&1
  fi
  if [ -n "${MORVEL_XVFB_PID:-}" ]; then
    kill "$MORVEL_XVFB_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$MORVEL_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$MORVEL_XVFB_PID" 2>/dev/null
  fi
  if [ -n "${MORVEL_SESSION_DIR:-}" ]; then
    # A test that failed half-way may have left a file immutable.
    chattr -R -i "$MORVEL_SESSION_DIR" >/dev/null 2>&1
    rm -rf "$MORVEL_SESSION_DIR"
  fi
  rm -f "$state"
}

start_session() {
  local keepalive=${1:-}
  stop_session
  local dir
  dir=$(mktemp -d /tmp/morvel-wine.XXXXXX)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" </dev/null >"$dir/xvfb.log" 2>&1 &
  local xvfb=$!
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start:" >&2; cat "$dir/xvfb.log" >&2
    kill "$xvfb" 2>/dev/null; rm -rf "$dir"; return 1
  fi
  cat >"$state" <<VARS
export MORVEL_SESSION_DIR='$dir'
export MORVEL_XVFB_PID='$xvfb'
export WINEPREFIX='$dir/prefix'
export DISPLAY=':$(tr -d '\n' <"$dir/display")'
export WINEDEBUG='-all'
export WINEDLLOVERRIDES='mscoree,mshtml=;winedbg.exe=d'
export WINEARCH='win64'
VARS
  # shellcheck disable=SC1090
  . "$state"
  # (winedbg is disabled above: a program that crashes just ends, as on a
  # player's machine, instead of waiting in a debugger.)
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  # The first program in a prefix creates it and brings up Wine's services,
  # which inherit its streams: keep those away from any test's pipe.
  "$WINE" wineboot -i </dev/null >/dev/null 2>&1
  # Xvfb runs no window manager, so Wine would wait two seconds for one to
  # confirm each hidden window; windows Wine manages itself need no answer.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  if [ -n "$keepalive" ]; then
    "$WINE" "$keepalive" </dev/null >/dev/null 2>&1 &
  fi
  echo "Wine session up: prefix $WINEPREFIX, display $DISPLAY"
}

case $action in
  start) start_session "$@" ;;
  stop) stop_session ;;
  run)
    if [ ! -f "$state" ]; then echo "no Wine session: $state is missing" >&2; exit 2; fi
    # shellcheck disable=SC1090
    . "$state"
    exec "$WINE" "$@" ;;
  *) echo "usage: $0 start|stop|run STATE_FILE ..." >&2; exit 2 ;;
esac
