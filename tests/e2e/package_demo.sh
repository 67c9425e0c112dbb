#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a fresh tree (dpkg -x), starts
# the unpacked demo under its own Xvfb, and checks from screenshots that the
# title page is drawn and that the Right arrow moves the highlighted box.
#
#   package_demo.sh <build dir>
#
# Exit status 77 (skipped) when a tool is missing.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool import cpack dpkg-deb python3; do
  command -v "$tool" >/dev/null || { echo "package_demo: $tool missing"; exit 77; }
done

WORK=$(mktemp -d /tmp/tavix_package_e2e.XXXXXX)
XVFB_PID=""
DEMO_PID=""
cleanup() {
  [ -n "$DEMO_PID" ] && kill "$DEMO_PID" 2>/dev/null && wait "$DEMO_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "package_demo: $*"
  [ -f "$WORK/demo.log" ] && { echo "--- demo output"; tail -20 "$WORK/demo.log"; }
  exit 1
}

# The package, built from this build tree and unpacked like an installation.
(cd "$BUILD" && cpack -G DEB -B "$WORK/package" >"$WORK/cpack.log" 2>&1) ||
  { tail -20 "$WORK/cpack.log"; fail "cpack failed"; }
DEB=$(ls "$WORK"/package/tavixdisp_*.deb 2>/dev/null | head -1)
[ -n "$DEB" ] || fail "no package made"
DEPENDS=$(dpkg-deb --field "$DEB" Depends)
case "$DEPENDS" in *libsdl2-2.0*) ;; *) fail "the package does not depend on SDL: $DEPENDS" ;; esac
dpkg -x "$DEB" "$WORK/root"
for f in usr/bin/tavixDisp usr/bin/tavixDispDemo usr/lib/tavixDisp/fonts/JF-Dot-Shinonome16.ttf \
         usr/lib/tavixDisp/Image/1.jpg usr/lib/tavixDisp/Image/1/1.jpg \
         usr/share/applications/tavixDisp.desktop; do
  [ -e "$WORK/root/$f" ] || fail "$f missing from the package"
done

# A display of our own.
N=""
for n in $(seq 91 160); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then N=$n; break; fi
done
[ -n "$N" ] || fail "no free display number"
Xvfb ":$N" -screen 0 1280x1024x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$N"
for _ in $(seq 100); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool getmouselocation >/dev/null 2>&1 || fail "Xvfb did not start"

# The demo from the unpacked tree, with a home of its own (fresh preferences).
mkdir -p "$WORK/home"
env -u XDG_DATA_HOME -u SDL_VIDEODRIVER HOME="$WORK/home" \
  "$WORK/root/usr/bin/tavixDispDemo" --record "$WORK/received" >"$WORK/demo.log" 2>&1 &
DEMO_PID=$!
WID=$(timeout 20 xdotool search --sync --name "T.A.V.I.X" | head -1) || true
[ -n "$WID" ] || fail "no window appeared"

# Waits until the window shows the given pixels (x,y,r,g,b ...), 20 s at most.
expect_pixels() {
  for _ in $(seq 80); do
    if import -window "$WID" -depth 8 "ppm:$WORK/shot.ppm" 2>/dev/null &&
       python3 "$HERE/package_pixels.py" "$WORK/shot.ppm" "$@" >"$WORK/pixels.log"; then
      return 0
    fi
    kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended"
    sleep 0.25
  done
  cat "$WORK/pixels.log"
  return 1
}

# Title page: header band, the ellipse in the frame, the box at the first
# tile and the next tile plain.
HEADER="620,8,32,64,160"
ELLIPSE="536,124,0,160,120"
expect_pixels "$HEADER" "$ELLIPSE" "52,220,248,200,0" "100,220,40,40,72" ||
  fail "the title page was not drawn"

# The Right arrow reaches the unit, which moves the box one tile.
xdotool windowfocus --sync "$WID"
sleep 0.3
xdotool key Right
expect_pixels "$HEADER" "52,220,40,40,72" "100,220,248,200,0" ||
  fail "the box did not move on the Right arrow"
grep -q $'\x1b\\[C' "$WORK/received" || fail "the unit did not receive the Right arrow"
echo "package_demo: passed"
