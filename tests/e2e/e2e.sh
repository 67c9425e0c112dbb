#!/usr/bin/env bash
# The programs in a real X window under a private Xvfb, driven by xdotool.
#   e2e.sh input BUILD    keys, text, mouse, wheel and a resize reach the unit as reports
#   e2e.sh package BUILD  the Debian package, unpacked, draws the demo and answers a key
#   e2e.sh screenshot BUILD  F12 saves the screen; the session's recording, and an earlier raw one,
#                            render to the same picture without a window and replay to the same screen
#   e2e.sh fullscreen BUILD  under a window manager, F11 shows the screen centred at a whole scale
#                            on black, clicks report screen pixels (none on the border), F11 again gives
#                            the window back; four starts and quits open the window at the same place
set -euo pipefail
MODE=$1 BUILD=$(cd "$2" && pwd) W=$(mktemp -d /tmp/tavix_e2e.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; wait; rm -rf "$W"' EXIT
TOOLS="Xvfb xdotool"; [ "$MODE" = package ] && TOOLS+=" cpack dpkg-deb import convert lintian appstreamcli desktop-file-validate"; [ "$MODE" = screenshot ] && TOOLS+=" import compare"
[ "$MODE" = fullscreen ] && TOOLS+=" openbox import convert"
for t in $TOOLS; do command -v "$t" >/dev/null || { echo "e2e.$MODE: $t missing"; exit 77; }; done
fail() { echo "e2e.$MODE: $*"; tail -20 "$W/log"; exit 1; }
hex() { od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/ $//'; }
retry() { for _ in $(seq 100); do "$@" && return; sleep 0.2; done; false; }

DEMO=$BUILD/tavixDispDemo ARGS=(--replay /dev/null)
if [ "$MODE" = package ]; then
  (cd "$BUILD" && cpack -G DEB -B "$W/pkg" >"$W/log" 2>&1) || fail "cpack failed"
  lintian --pedantic -I --fail-on error,warning "$W"/pkg/tavixdisp_*.deb >"$W/log" 2>&1 && ! grep -E "hardening|keywords" "$W/log" ||
    fail "lintian finds fault with the package"
  dpkg -x "$W"/pkg/tavixdisp_*.deb "$W/root"
  mkdir -p "$W/root/usr/share/fonts/truetype" && ln -s /usr/share/fonts/truetype/misaki "$W/root/usr/share/fonts/truetype/"  # fonts-misaki
  U=$W/root/usr/share && desktop-file-validate "$U"/applications/*.desktop >"$W/log" 2>&1 && appstreamcli validate --no-net "$U"/metainfo/*.xml >"$W/log" 2>&1 ||
    fail "the menu entries or the software centre's metadata are not valid"
  grep -q "The MIT licence" "$U/doc/tavixdisp/copyright" && grep -q "Copyright (c) 2026 The tavixDisp developers" "${BASH_SOURCE%/*}/../../LICENSE" || fail "no licence"
  completes() {  # completes PROGRAM WORDS... EXPECTED: bash completes the last word to EXPECTED, among others
    (. "$U/bash-completion/completions/${1##*/}" && COMP_WORDS=("${@:1:$#-1}") COMP_CWORD=$(($# - 2)) && _tavix && [[ " ${COMPREPLY[*]} " == *" ${!#} "* ]])
  }
  completes "$W/root/usr/bin/tavixDisp" --dev --device && completes "$W/root/usr/bin/tavixSim" --li --link &&
    completes "$W/root/usr/bin/tavixDisp" --device = /dev/nul /dev/null || fail "no shell completion"
  DEMO=$W/root/usr/bin/tavixDispDemo ARGS=()
fi
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$W/display" 2>/dev/null &
retry test -s "$W/display" || fail "Xvfb did not start"
export DISPLAY=:$(cat "$W/display")

if [ "$MODE" = screenshot ]; then
  printf '\e@0;0;300;200;20;20;31744z\e@3;0;1;400;200;80;60;992z\e[5;10H\e[33mHello \x82\xa0\e[44m F12' >"$W/stream"
  { printf '\e@1;0;0;0V'; cat "$W/stream"; } >"$W/want"
  mkdir -p "$W/.config" && echo 'XDG_PICTURES_DIR="$HOME/shots"' >"$W/.config/user-dirs.dirs"
  show() {  # tavixDisp on a unit that replays $1, recording into $2
    rm -f "$W/sim"; "$BUILD/tavixSim" --replay "$1" --record "$W/tx" >"$W/sim" 2>>"$W/log" & SIM=$!
    retry test -s "$W/sim" || fail "the simulated unit did not start"
    HOME=$W TAVIX_FIRMWARE_PAGE_URL=http://127.0.0.1:9/ env -u SDL_VIDEODRIVER -u XDG_DATA_HOME -u XDG_CONFIG_HOME \
      -u XDG_PICTURES_DIR "$BUILD/tavixDisp" --device "$(cat "$W/sim")" --record "$2" >>"$W/log" 2>&1 & DISP=$!
    WID=$(timeout 20 xdotool search --sync --name T.A.V.I.X | head -1) || fail "no window"
  }
  same() { import -window "$WID" -depth 8 "$W/$1.png" && [ "$(compare -metric AE "$W/$1.png" "$2" null: 2>&1)" = 0 ]; }
  show "$W/stream" "$W/rec"
  retry grep -q '463132$' "$W/rec" || fail "the recording ends '$(tail -c 80 "$W/rec")', not with the unit's ' F12'"
  xdotool windowfocus --sync "$WID" key F12
  saved() { compgen -G "$W/shots/tavixDisp-*.png"; }
  retry saved >/dev/null || fail "F12 saved no picture in \$HOME/shots"
  named() { xdotool getwindowname "$WID" | grep -q "^Saved tavixDisp-[0-9]*-[0-9]*\.png$"; }
  retry named || fail "no file name in the title"
  retry same window "$W"/shots/tavixDisp-*.png || fail "the picture is not the window"
  for r in rec want; do
    "$BUILD/tavixSim" --replay "$W/$r" --png "$W/$r.png" 2>>"$W/log" && [ "$(compare -metric AE "$W/$r.png" "$W"/shots/tavixDisp-*.png null: 2>&1)" = 0 ] ||
      fail "the $r recording renders another screen than F12 saved"
  done
  titled() { [ "$(xdotool getwindowname "$WID")" = "T.A.V.I.X - $(cat "$W/sim")" ]; }
  retry titled || fail "the title did not come back"
  [ "$(hex <"$W/tx" | sed 's/ *fe//g; s/ *1b 40 39 39 39 79 00//')" = "" ] || fail "F12 sent '$(hex <"$W/tx")'"
  kill $DISP $SIM && wait $DISP $SIM 2>/dev/null || true
  show "$W/rec" /dev/full  # a full disk ends the recording, not the session
  retry same again "$W/window.png" || fail "the replayed recording shows another screen"
  grep -q "recording stopped, cannot write to /dev/full: No space left on device" "$W/log" || fail "no word of the full disk"
  exit 0
fi
if [ "$MODE" = fullscreen ]; then
  # A white screen with a red 10 x 10 box at (100, 50), shown by a window manager.
  printf '\e@0;0;640;384;0;0;32767z\e@0;0;10;10;100;50;31744z\e@30Z' >"$W/screen.bin"
  ARGS=(--replay "$W/screen.bin")
  openbox --config-file /dev/null >/dev/null 2>&1 &
  managed() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window; }
  retry managed || fail "no window manager"
  PREFS=$W/.local/share/tavixProject/tavixDispDemo/tavixDisp.prefs  # the window's outer corner at (300, 200)
  mkdir -p "${PREFS%/*}" && printf 'window_x = 300\nwindow_y = 200\n' >"$PREFS"
fi
start() {
  HOME=$W env -u SDL_VIDEODRIVER -u XDG_DATA_HOME "$DEMO" --record "$W/rx" "${ARGS[@]}" >"$W/log" 2>&1 &
  DEMO_PID=$!
  WID=$(timeout 20 xdotool search --sync --onlyvisible --name T.A.V.I.X | head -1) || fail "no window"
  # The main loop runs once a keep-alive follows the answered version request.
  started() { hex <"$W/rx" | grep -q "79 00 fe"; }
  retry started 2>/dev/null || fail "the main loop did not start"
  xdotool windowfocus --sync "$WID"
}
start

# x,y=RRGGBB ...: the window shows these pixels.
shows() {
  local f="" want=""
  for p in "$@"; do f+="%[hex:p{${p%=*}}] " want+="${p#*=} "; done
  import -window "$WID" -depth 8 "$W/shot.ppm" && [ "$(convert "$W/shot.ppm" -format "$f" info:)" = "$want" ]
}
if [ "$MODE" = package ]; then
  # The header band, the ellipse, the box, the tile beside it.
  retry shows 620,8=2040A0 536,124=00A078 52,220=F8C800 100,220=282848 || fail "the title page was not drawn"
  xdotool key Right
  retry shows 620,8=2040A0 52,220=282848 100,220=F8C800 || fail "the box did not move on the Right arrow"
  exit 0
fi

reports() { hex <"$W/rx" | sed 's/ fe//g; s/ 1b 40 39 39 39 79 00//g'; }
arrived() { [ "$(reports)" = "$EXP" ]; }
geometry() { xdotool getwindowgeometry "$WID" | tail -n +2 | tr -d '\n '; }
if [ "$MODE" = fullscreen ]; then
  retry shows 0,0=F8F8F8 100,50=F80000 109,59=F80000 110,60=F8F8F8 || fail "the screen was not drawn"
  WINDOWED=$(geometry) EXP=""
  xdotool key F11
  # 1600 x 1200: two screens each way at (160, 216), the rest black.
  retry shows 159,216=000000 160,215=000000 160,216=F8F8F8 360,316=F80000 379,335=F80000 380,336=F8F8F8 \
    1439,983=F8F8F8 1440,983=000000 1439,984=000000 || fail "fullscreen does not show the screen centred twice"
  # A click on the border reaches nobody; a press on screen pixel (105, 55), the red box's middle, dragged
  # out onto the border and released there is reported all the way, (-30, -58) as 16-bit values.
  for act in "mousemove --window $WID 100 100 click 1=" "mousemove --window $WID 371 327 mousedown 1=1;105;55" \
      "mousemove --window $WID 100 100=0;65506;65478" "mouseup 1=9;65506;65478"; do
    [ -z "${act#*=}" ] || EXP+=$(printf '\e[<%sM' "${act#*=}" | hex)
    xdotool ${act%=*}
    retry arrived || fail "the click reached the unit as '$(reports)', expected '$EXP'"
  done
  xdotool key F11
  retry eval '[ "$(geometry)" = "$WINDOWED" ]' || fail "left fullscreen at $(geometry), was $WINDOWED"
  retry shows 0,0=F8F8F8 100,50=F80000 110,60=F8F8F8 || fail "the window does not show the screen again"
  arrived || fail "F11 reached the unit: '$(reports)'"
  for run in 2 3 4; do  # each start and quit leaves the window where it was
    kill -TERM "$DEMO_PID" && wait "$DEMO_PID" || true
    start
    [ "$(geometry)" = "$WINDOWED" ] || fail "start $run put the window at $(geometry), the first at $WINDOWED"
  done
  kill -TERM "$DEMO_PID" && wait "$DEMO_PID" || true
  grep -q 'window_x = 300' "$PREFS" && grep -q 'window_y = 200' "$PREFS" && ! grep 'window_[wh] =' "$PREFS" | grep -qvE '(w = 640|h = 384)$' || fail "$(cat "$PREFS")"
  # SIGTERM while the alert of a failed connection is up ends the program with that failure's status.
  PREFS=$W/.local/share/tavixProject/tavixDisp/tavixDisp.prefs && mkdir -p "${PREFS%/*}" && printf 'baudrate = 9600\nenable_joystick = 0\n' >"$PREFS"
  HOME=$W env -u SDL_VIDEODRIVER -u XDG_DATA_HOME "$BUILD/tavixDisp" --device "$W/none" >"$W/log" 2>&1 & DISP=$!
  timeout 30 xdotool search --sync --onlyvisible --name "cannot be established" >/dev/null || fail "no alert"
  kill -TERM $DISP && retry eval '! kill -0 $DISP 2>/dev/null' || fail "still running after SIGTERM"
  STATUS=0 && wait $DISP || STATUS=$?
  [ $STATUS = 3 ] && grep -q "cannot open $W/none: not found" "$W/log" || fail "ended with status $STATUS"
  grep -q '^; baudrate' "$PREFS" || fail "the preferences were not written at the quit: $(cat "$PREFS")"
  exit 0
fi

# Each step: the reports it adds, then the xdotool command; all reports so far must arrive, no others.
EXP=""
step() {
  EXP+=$(printf '%s' "$1" | hex); shift
  xdotool "$@"
  retry arrived || fail "after '$*' the unit has '$(reports)', expected '$EXP'"
}
step $'\e[A' key Up
step $'\r' key Return
step $'\e[1' key Home
step a type a
step $'\e[<1;300;200M' mousemove --window "$WID" 300 200 mousedown 1
step $'\e[<9;300;200M' mouseup 1
step $'\e@995y' click 4
# 1000 x 700 snaps to two screens each way: window pixels are halved from now on.
xdotool windowsize "$WID" 1000 700
snapped() { xdotool getwindowgeometry "$WID" | grep -q "Geometry: 1280x768"; }
retry snapped || fail "the window is not 1280x768"
step $'\e[<1;300;201M' mousemove --window "$WID" 601 403 mousedown 1
step $'\e[<9;300;201M' mouseup 1
