#!/usr/bin/env bash
# Regenerates the README's performance and memory tables: builds the benchmarks
# (Release), runs each of them --runs times (default 3) on a private Xvfb and prints
# every table in the README's form, each cell the median of the runs, with the machine,
# the load average before each benchmark and the date.
#
#   scripts/bench.sh [--runs N] [--seconds S] [--build DIR] [--skip-build]
#                    [--only filter|capture|frame|load|memory]...
#
# --seconds is lens_load's time per case (default 6). The whole run takes about
# 25 minutes with the defaults. Needs python3 (the medians), openbox and xdotool (the
# memory figure of the program itself).
set -euo pipefail
source "$(dirname "$0")/common.sh"

runs=3
seconds=6
build="$TALVEX_ROOT/build-bench"
skip_build=0
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --build) build="$2"; shift 2 ;;
    --skip-build) skip_build=1; shift ;;
    --only) only="$only $2"; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--seconds S] [--build DIR] [--skip-build] [--only TABLE]..." >&2; exit 2 ;;
  esac
done

if [ "$skip_build" = 0 ]; then
  configure "$build" -DCMAKE_BUILD_TYPE=Release -DTALVEX_BUILD_BENCH=ON
  cmake --build "$build" -j"$JOBS" --target talvex filter_bench capture_bench frame_bench \
    lens_load scene_window pointer_mover gl_memory_floor >/dev/null
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

load() { cut -d' ' -f1-3 /proc/loadavg; }
# wanted TABLE: true when TABLE is to be measured (all of them without --only).
wanted() { [ -z "$only" ] || [[ " $only " == *" $1 "* ]]; }

# The machine and the renderer, once.
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores," \
  "Xvfb 1920×1080×24; $(date -u '+%Y-%m-%d %H:%M UTC'); $runs runs, median of each cell."

if wanted filter; then
echo "### Stripe filter (\`filter_bench\`, median ms; load $(load))"
for i in $(seq "$runs"); do
  run_with_display "$build/bench/filter_bench" --benchmark_min_time=1 --benchmark_format=json \
    --benchmark_out="$out/filter.$i.json" --benchmark_out_format=json >/dev/null 2>&1
done
python3 - "$out" <<'EOF'
import glob, json, statistics, sys
# One dict per run; the ratio is taken within each run, then its median.
runs = [{b["name"].replace("/real_time", ""): b["real_time"]
         for b in json.load(open(path))["benchmarks"]}
        for path in glob.glob(sys.argv[1] + "/filter.*.json")]
med = {k: statistics.median(run[k] for run in runs) for k in runs[0]}
ratio = lambda a, b: statistics.median(run[a] / run[b] for run in runs)
print("\n| size | sampling | upload | stripe draw | pass-through draw | stripe / pass-through "
      "| linear-light trip / pass-through | red 3, green 1 | read-back | stripe throughput |")
print("|---|---|---|---|---|---|---|---|---|---|")
for nearest, sampling in ((0, "linear"), (1, "nearest")):
    for w, h in ((400, 300), (1200, 800), (1920, 1080)):
        key = lambda name, n=nearest: med[f"{name}/{w}/{h}/{n}"]
        stripe = key("StripeDraw")
        print(f"| {w}×{h} | {sampling} | {key('Upload', 0):.2f} | {stripe:.2f} "
              f"| {key('PassThroughDraw'):.2f} "
              f"| {ratio(f'StripeDraw/{w}/{h}/{nearest}', f'PassThroughDraw/{w}/{h}/{nearest}'):.2f}× "
              f"| {ratio(f'LinearLightTripDraw/{w}/{h}/{nearest}', f'PassThroughDraw/{w}/{h}/{nearest}'):.2f}× "
              f"| {key('StripeDrawUnequalSwitches'):.2f} "
              f"| {key('ReadBack', 0):.2f} | {w * h / 1e3 / stripe:.1f} MP/s |")
EOF
echo

fi

if wanted capture; then
echo "### Capture below the panel (\`capture_bench\`, median ms; load $(load))"
for i in $(seq "$runs"); do
  run_with_display "$build/bench/capture_bench" --benchmark_format=json \
    --benchmark_out="$out/capture.$i.json" --benchmark_out_format=json >/dev/null 2>&1
done
python3 - "$out" <<'EOF'
import glob, json, statistics, sys
times = {}
for path in glob.glob(sys.argv[1] + "/capture.*.json"):
    for b in json.load(open(path))["benchmarks"]:
        name = b["name"].split("/real_time")[0].replace("w:", "").replace("h:", "")
        times.setdefault(name.replace("desktop:", ""), []).append(b["real_time"] * {
            "ns": 1e-6, "us": 1e-3, "ms": 1, "s": 1e3}[b["time_unit"]])
med = {k: statistics.median(v) for k, v in times.items()}
print("\n| size | capture, several windows below | with a full-screen window at the bottom "
      "| floor: bare MIT-SHM read of the root |")
print("|---|---|---|---|")
for w, h in ((400, 300), (1200, 800), (1920, 1080)):
    print(f"| {w}×{h} | {med[f'captureBelowWindow/{w}/{h}/0']:.2f} "
          f"| {med[f'captureBelowWindow/{w}/{h}/1']:.2f} "
          f"| {med[f'sharedMemoryReadOfRoot/{w}/{h}']:.2f} |")
EOF
echo

fi

# Tables of numbers in Markdown form, run several times: each cell the median of the
# runs (cells that are not numbers, and lines outside the tables, are the first run's).
median_tables() {
  python3 - "$@" <<'EOF'
import re, statistics, sys
runs = [open(p).read().splitlines() for p in sys.argv[1:]]
number = re.compile(r"^(-?[0-9.]+)(.*)$")
for lines in zip(*runs):
    if not lines[0].startswith("|") or lines[0].startswith("|---"):
        print(lines[0])
        continue
    cells = [l.strip("|").split("|") for l in lines]
    out = []
    for column in zip(*cells):
        first = column[0].strip()
        m = number.match(first)
        if not m or first.endswith("×") or "×" in first:
            out.append(first)
            continue
        values = [float(number.match(c.strip()).group(1)) for c in column]
        decimals = len(m.group(1).split(".")[1]) if "." in m.group(1) else 0
        out.append(f"{statistics.median(values):.{decimals}f}{m.group(2)}")
    print("| " + " | ".join(out) + " |")
EOF
}

if wanted frame; then
echo "### One frame of the lens (\`frame_bench\`, median ms; load $(load))"
echo
for i in $(seq "$runs"); do
  run_with_display "$build/bench/frame_bench" >"$out/frame.$i.txt" 2>"$out/frame.$i.err"
done
sed -n 's/^OpenGL renderer: \(.*\), .*/Renderer: \1/p' "$out/frame.1.err"
median_tables "$out"/frame.*.txt
echo

fi

if wanted load; then
for size in "400 300" "1200 800"; do
  set -- $size
  echo "### Steady load, $1×$2 panel (\`lens_load $seconds $1 $2\`; load $(load))"
  echo
  for i in $(seq "$runs"); do
    run_with_display "$build/bench/lens_load" "$seconds" "$1" "$2" >"$out/load.$1.$i.txt" 2>/dev/null
  done
  median_tables "$out"/load."$1".*.txt
  echo
done

fi

# Private dirty memory of the program itself, with a W×H view over a static screen.
program_memory() {
  local home
  home="$(mktemp -d)"
  openbox >/dev/null 2>&1 &
  local wm=$!
  HOME="$home" XDG_CONFIG_HOME="$home/.config" "$build/src/talvex" >/dev/null 2>&1 &
  local app=$!
  local window=""
  for _ in $(seq 100); do
    window="$(xdotool search --pid "$app" --onlyvisible 2>/dev/null | head -1)" && [ -n "$window" ] && break
    sleep 0.1
  done
  # The window is 26 pixels taller than its view (the title bar of the panel).
  [ -n "$window" ] && xdotool windowsize "$window" "$1" $(($2 + 26))
  sleep 15
  sed -n 's/^Private_Dirty: *\([0-9]*\) kB/\1/p' "/proc/$app/smaps_rollup"
  kill "$app" "$wm" 2>/dev/null
  wait "$app" "$wm" 2>/dev/null || true
  rm -rf "$home"
}
export -f program_memory
export build
if wanted memory; then
echo "### Memory (\`talvex\` itself, Private_Dirty 15 s after start over a static screen; load $(load))"
echo
echo "| view | each run | median | floor: one textured quad, the default visual | floor: the same, a visual without depth and stencil |"
echo "|---|---|---|---|---|"
median() { printf '%s\n' "$@" | sort -n | sed -n "$(((runs + 1) / 2))p"; }
for size in "400 300" "1200 800"; do
  set -- $size
  values=() floor=() bare=()
  for i in $(seq "$runs"); do
    values+=("$(run_with_display bash -c "program_memory $1 $2")")
    floor+=("$(run_with_display "$build/bench/gl_memory_floor" "$1" "$2")")
    bare+=("$(run_with_display "$build/bench/gl_memory_floor" "$1" "$2" no-depth)")
  done
  printf '| %s×%s | %s kB | %s kB | %s kB | %s kB |\n' "$1" "$2" "${values[*]}" \
    "$(median "${values[@]}")" "$(median "${floor[@]}")" "$(median "${bare[@]}")"
done
echo
fi

echo "Load average at the end: $(load)"
