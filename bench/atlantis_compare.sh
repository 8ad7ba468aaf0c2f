#!/usr/bin/env bash
# CPU cost per drawn frame: reefmere as a hack against XScreenSaver's own atlantis, each
# drawing on the root window of one private Xvfb for the same wall time, in interleaved
# rounds (so a machine whose load drifts weighs on every program alike).
# Frames are counted by a small LD_PRELOAD shim around glXSwapBuffers and eglSwapBuffers
# (the same for both programs); CPU time is user + system of the process (all threads,
# llvmpipe's rasteriser threads included) from /proc, taken after a warm-up so that
# start-up is left out.
#
#   bench/atlantis_compare.sh [options] [BUILD_DIR] [SECONDS] [ROUNDS]
#
#   --no-gradual-fill  the tank is full from the first frame (the steady state); without
#                      it the runs see the tank filling, as the saver's first minutes do
#   --size WxH         the Xvfb screen (default 1280x720)
#   --before DIR       also run DIR/bin/reefmere (an older build), interleaved, as "before"
#   --passes           per-pass breakdown: every round also runs reefmere once per drawing
#                      pass with that pass left out (REEFMERE_SKIP_PASSES=<name>, which
#                      the scene's drawing honours); the cost of a pass is the median
#                      frame minus the median frame without it
#   --no-atlantis      leave atlantis out (also when /usr/libexec/xscreensaver/atlantis
#                      is missing)
#   --warmup S         seconds before the measurement starts (default 3)
#   --args "A B"       more arguments for reefmere (e.g. "--low-cpu" or "-delay 33333":
#                      compare cpu/s with a plain run to see the CPU follow the frame rate)
#
# REEFMERE_SKIP_PASSES takes a comma-separated list of: caustic-texture (the 128 x 128
# caustic render-to-texture), below (wobbling picture under the water line), above (the
# plain picture above it), surface (the water surface), fish (fish and bubbles),
# fish-caustic, wall-caustic (the back-wall caustic quad), overlay (banner, caption, card).
#
# Prints one line per run, the load average, and the median per program.
set -euo pipefail
GRADUAL=()
SIZE=1280x720
BEFORE=""
PASSES=0
ATLANTIS_ON=1
WARMUP=3
EXTRA=()
ARGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-gradual-fill) GRADUAL=(--no-gradual-fill) ;;
    --size) SIZE=$2; shift ;;
    --before) BEFORE=$2; shift ;;
    --passes) PASSES=1 ;;
    --no-atlantis) ATLANTIS_ON=0 ;;
    --warmup) WARMUP=$2; shift ;;
    --args) read -r -a EXTRA <<< "$2"; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d'; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) ARGS+=("$1") ;;
  esac
  shift
done
BUILD=${ARGS[0]:-build}
SECONDS_EACH=${ARGS[1]:-20}
ROUNDS=${ARGS[2]:-3}
HACK="$BUILD/bin/reefmere"
ATLANTIS=/usr/libexec/xscreensaver/atlantis
PASS_NAMES="caustic-texture below above surface fish fish-caustic wall-caustic overlay"
[ -x "$HACK" ] || { echo "no $HACK (build first)" >&2; exit 1; }
[ -z "$BEFORE" ] || [ -x "$BEFORE/bin/reefmere" ] || { echo "no $BEFORE/bin/reefmere" >&2; exit 1; }
if [ "$ATLANTIS_ON" = 1 ] && [ ! -x "$ATLANTIS" ]; then
  echo "no $ATLANTIS (apt-get install xscreensaver-gl): reefmere only" >&2
  ATLANTIS_ON=0
fi

WORK=$(mktemp -d)
XVFB_PID=""
cleanup() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

cat > "$WORK/swapcount.c" <<'SHIM'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
typedef void (*glx_swap_fn)(void*, unsigned long);
typedef unsigned (*egl_swap_fn)(void*, void*);
static unsigned long frames;
static void count(void) {
    static int fd = -2;
    if (fd == -2) {
        const char* p = getenv("SWAPCOUNT_FILE");
        fd = p ? open(p, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }
    frames++;
    if (fd >= 0) {
        char b[32];
        int n = snprintf(b, sizeof b, "%20lu\n", frames);
        pwrite(fd, b, (size_t)n, 0);
    }
}
/* GLX for reefmere; XScreenSaver 6 hacks draw through EGL. */
void glXSwapBuffers(void* dpy, unsigned long drawable) {
    static glx_swap_fn real;
    if (!real) real = (glx_swap_fn)dlsym(RTLD_NEXT, "glXSwapBuffers");
    real(dpy, drawable);
    count();
}
unsigned eglSwapBuffers(void* dpy, void* surface) {
    static egl_swap_fn real;
    if (!real) real = (egl_swap_fn)dlsym(RTLD_NEXT, "eglSwapBuffers");
    unsigned ok = real(dpy, surface);
    count();
    return ok;
}
SHIM
cc -O2 -shared -fPIC -o "$WORK/swapcount.so" "$WORK/swapcount.c" -ldl

Xvfb -displayfd 3 -screen 0 "${SIZE}x24" -nolisten tcp +extension GLX -br 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$WORK/display")"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" SDL_AUDIODRIVER=dummy
mkdir -p "$HOME"

cpu_seconds() {  # utime + stime of a pid, seconds
  awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) / hz }' "/proc/$1/stat"
}
frames_now() { tr -d ' ' < "$WORK/frames" 2>/dev/null || echo 0; }

run_one() {  # name, command... (environment through env)
  local name=$1; shift
  rm -f "$WORK/frames"
  SWAPCOUNT_FILE="$WORK/frames" LD_PRELOAD="$WORK/swapcount.so" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$WARMUP"
  local cpu0 f0 cpu frames
  cpu0=$(cpu_seconds "$pid")
  f0=$(frames_now)
  sleep "$SECONDS_EACH"
  cpu=$(cpu_seconds "$pid")
  frames=$(frames_now)
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  frames=$((frames - f0))
  cpu=$(awk -v a="$cpu" -v b="$cpu0" 'BEGIN { print a - b }')
  awk -v n="$name" -v c="$cpu" -v f="$frames" -v s="$SECONDS_EACH" 'BEGIN {
    if (f > 0) printf "%-22s frames %6d  fps %6.1f  cpu %7.2f s  cpu/s %6.3f  cpu/frame %8.3f ms\n", n, f, f / s, c, c / s, 1000 * c / f;
    else printf "%-22s no frames drawn\n", n }'
  echo "$name" >> "$WORK/names"
  [ "$frames" -gt 0 ] && awk -v c="$cpu" -v f="$frames" 'BEGIN { printf "%.6f\n", 1000 * c / f }' >> "$WORK/$name.ms"
  return 0
}

reefmere_runs() {  # label, build dir
  local label=$1 hack="$2/bin/reefmere"
  run_one "$label" "$hack" -root --defaults --seed 7 "${GRADUAL[@]}" "${EXTRA[@]}"
  if [ "$PASSES" = 1 ]; then
    for p in $PASS_NAMES; do
      run_one "$label-$p" env REEFMERE_SKIP_PASSES="$p" "$hack" -root --defaults --seed 7 "${GRADUAL[@]}" "${EXTRA[@]}"
    done
  fi
}

mode="tank filling"
[ ${#GRADUAL[@]} -gt 0 ] && mode="tank full"
echo "Xvfb $SIZE, $mode, ${SECONDS_EACH}s per run after ${WARMUP}s, $ROUNDS rounds, $(nproc) CPUs," \
     "GL: $(glxinfo 2>/dev/null | sed -n 's/^OpenGL renderer string: //p' || true)"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq "$ROUNDS"); do
  [ -n "$BEFORE" ] && reefmere_runs before "$BEFORE"
  reefmere_runs reefmere "$BUILD"
  [ "$ATLANTIS_ON" = 1 ] && run_one atlantis "$ATLANTIS" -root
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for name in $(awk '!seen[$0]++' "$WORK/names"); do
  [ -s "$WORK/$name.ms" ] || continue
  m=$(median "$WORK/$name.ms")
  base=${name%%-*}
  extra=""
  if [ "$base" != "$name" ] && [ -s "$WORK/$base.ms" ]; then
    extra=$(awk -v a="$(median "$WORK/$base.ms")" -v b="$m" 'BEGIN { printf "  pass costs %6.3f ms", a - b }')
  fi
  printf "median %-22s cpu/frame %7.3f ms (%d runs)%s\n" "$name" "$m" "$(wc -l < "$WORK/$name.ms")" "$extra"
done
