#!/usr/bin/env bash
# CPU cost per drawn frame: reefmere as a hack against XScreenSaver's own atlantis, each
# drawing on the root window of one private Xvfb (1280 x 720) for the same wall time.
# Frames are counted by a small LD_PRELOAD shim around glXSwapBuffers and eglSwapBuffers
# (the same for both programs); CPU time is user + system of the process (all threads) from /proc.
#
#   bench/atlantis_compare.sh [BUILD_DIR] [SECONDS] [ROUNDS]
#
# Prints one line per run and the median per program.
set -euo pipefail
BUILD=${1:-build}
SECONDS_EACH=${2:-20}
ROUNDS=${3:-3}
HACK="$BUILD/bin/reefmere"
ATLANTIS=/usr/libexec/xscreensaver/atlantis
[ -x "$HACK" ] || { echo "no $HACK (build first)" >&2; exit 1; }
[ -x "$ATLANTIS" ] || { echo "no $ATLANTIS (apt-get install xscreensaver-gl)" >&2; exit 1; }

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
        int n = snprintf(b, sizeof b, "%lu\n", frames);
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

Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp +extension GLX -br 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$WORK/display")"
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" SDL_AUDIODRIVER=dummy
mkdir -p "$HOME"

cpu_seconds() {  # utime + stime of a pid, seconds
  awk -v hz="$(getconf CLK_TCK)" '{ sub(/^.*\) /, ""); print ($12 + $13) / hz }' "/proc/$1/stat"
}

run_one() {  # name, command...
  local name=$1; shift
  rm -f "$WORK/frames"
  SWAPCOUNT_FILE="$WORK/frames" LD_PRELOAD="$WORK/swapcount.so" "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep "$SECONDS_EACH"
  local cpu frames
  cpu=$(cpu_seconds "$pid")
  frames=$(cat "$WORK/frames" 2>/dev/null || echo 0)
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v n="$name" -v c="$cpu" -v f="$frames" -v s="$SECONDS_EACH" 'BEGIN {
    if (f > 0) printf "%-10s frames %6d  fps %6.1f  cpu %7.2f s  cpu/frame %8.3f ms\n", n, f, f / s, c, 1000 * c / f;
    else printf "%-10s no frames drawn\n", n }'
  [ "$frames" -gt 0 ] && awk -v c="$cpu" -v f="$frames" 'BEGIN { printf "%.6f\n", 1000 * c / f }' >> "$WORK/$name.ms"
}

echo "Xvfb 1280x720, ${SECONDS_EACH}s per run, $ROUNDS rounds, GL: $(glxinfo 2>/dev/null | sed -n 's/^OpenGL renderer string: //p' || true)"
for r in $(seq "$ROUNDS"); do
  run_one reefmere "$HACK" -root --defaults --seed 7
  run_one atlantis "$ATLANTIS" -root
done
for name in reefmere atlantis; do
  [ -s "$WORK/$name.ms" ] || continue
  sort -g "$WORK/$name.ms" | awk -v n="$name" '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
    printf "median %-10s cpu/frame %.3f ms (%d runs)\n", n, m, NR }'
done
