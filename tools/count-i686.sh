#!/usr/bin/env bash
# Counts the guest instructions that one draw of a bench case executes, for every engine of the
# glyph and shape scenes, and prints each engine's count per unit (per glyph for glyph scenes,
# per call otherwise) with its ratio to its peer: AllShapeDraw / Cairo-AA,
# AllShapeDraw_Quickly / Cairo-noAA, kernel / FreeType. It stands in for timing where the
# machine runs no 32-bit programs: the 32-bit x86 build (build/bench-i686, -m32 -msse2
# -mfpmath=sse, against the i386 FreeType and Cairo) runs under qemu-i386; with --x86-64 the
# x86-64 build (build/bench) is counted natively by callgrind, so that the two tables and a
# native timing of x86-64 can be set side by side.
#
#   tools/count-i686.sh                   32-bit x86, glyphs every 50th glyph, the shape scenes
#   tools/count-i686.sh --x86-64          the same cases, x86-64 build, under callgrind
#   tools/count-i686.sh --glyph-stride=N  every N-th glyph (default 50: 125 of the 6,200)
#   tools/count-i686.sh --filter=REGEX    only the cases (scene/engine) matching REGEX
#   tools/count-i686.sh --budget=SECONDS  seconds one scene's run may take (default 900); the
#                                         cases not done by then are left out, saying so
#   tools/count-i686.sh --singlestep      qemu: one instruction a block (slow; checks the method)
#
# Needs qemu-user (qemu-i386 7.2, Debian's) and the packages tools/run-bench.sh asks for the
# 32-bit build; valgrind for --x86-64. Runs one emulator at a time, under nice.
#
# How it counts. qemu -d nochain,in_asm,exec logs each translation block once when it is
# translated (its guest instructions) and once more every time it is executed; nochain makes
# every execution pass through the logging lookup. Each executed block adds the number of
# instructions of its latest translation (keyed by the host code address and the block's pc,
# flags and cflags, so a retranslation replaces the old count). A string instruction with a rep
# prefix counts once per repetition, as in qemu -singlestep and valgrind. One run per scene
# (the scene is built and checked once) draws each case with --iterations=3 after its untimed
# warm-up draw; the count of a draw is the count between two successive entries into the
# road's RunOnce (found by symbol in the log; each case ends at its entry into Digest), so it
# holds exactly one warm draw and the loop's increment, and none of the setup, the scene check
# or Google Benchmark's bookkeeping. Checked against qemu -singlestep (one instruction a block,
# counted by grep -c Trace) on glyphs16/kernel: the same 2,581,199 instructions a draw. The
# table shows the second timed draw and notes how far the first differs. FreeType repeated
# exactly in every run; the other engines allocate or align their buffers per call (Cairo a
# context per glyph), and their counts moved by up to about 0.1% between runs with the
# allocator's state and the addresses it hands out (a 16-px glyph by AllShapeDraw: 34,333 or
# 34,337; a 64-px glyph by Cairo-AA: 219,268 or 219,329; triangles1k by Cairo-AA under
# callgrind: 12,765,267 or 12,780,267). Read differences below a percent as noise.
#
# With --x86-64, callgrind counts the instructions inside each call of RunOnce (dumped after
# every call); that leaves out the call and the loop's increment, a few instructions a draw.
# Its per-glyph counts and those of the same method under qemu-x86_64 agree within 0.01% on
# glyphs16 (kernel 17,886.2 against 17,886; Cairo-AA 59,479 against 59,477), and callgrind
# runs a scene in seconds where qemu's log takes minutes.
#
# Under qemu-i386 the log costs a few microseconds a block: glyphs16 takes about a minute here,
# glyphs64 and triangles1k about four; quad4096 spent more than nine minutes in its scene check
# before its first draw, and shapes10k (2.6 billion instructions a draw of AllShapeDraw on
# x86-64) would take hours, so the budget leaves both out.
#
# What the count does not see: it is instructions, not time. Not the cost of each instruction
# (a division, an x87 or SSE conversion, a stall on a dependency), not cache or TLB misses
# (FreeType writes one byte a cell, the kernel eight), not branch mispredictions; the libraries
# see qemu's CPU model ("max"), so the SIMD paths pixman, glibc's string functions and FreeType
# choose under qemu may differ from those a real CPU gets; and the i386 libc differs from the
# Windows C runtime the DLL will use (memset and memcpy of large buffers count per repetition of
# rep stos/movs when glibc picks those). Compare ratios with the x86-64 table and its timing
# before trusting a 32-bit ratio.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=i686
glyph_stride=50
filter='.*'
budget=900
singlestep=false
for argument in "$@"; do
  case "$argument" in
  --x86-64) arch=x86-64 ;;
  --glyph-stride=*) glyph_stride="${argument#*=}" ;;
  --filter=*) filter="${argument#*=}" ;;
  --budget=*) budget="${argument#*=}" ;;
  --singlestep) singlestep=true ;;
  *)
    sed -n '/^#   tools/p' "$0" >&2
    exit 2
    ;;
  esac
done

source tools/bench-builds.sh

require qemu-user cmake ninja-build g++ pkg-config libbenchmark-dev || exit 1

if [[ $arch == i686 ]]; then
  require g++-multilib libbenchmark-dev:i386 libfreetype-dev:i386 libcairo2-dev:i386 || exit 1
  build=build/bench-i686
  qemu=qemu-i386
  [[ -f $build/build.ninja ]] || configure_bench_i686
else
  require valgrind || exit 1
  build=build/bench
  qemu=''
  [[ -f $build/build.ninja ]] || configure_bench_native
fi
nice -n 19 cmake --build $build -j2 --target pintovel-bench >/dev/null
bench=$build/bench/pintovel-bench

# The markers: where each road's RunOnce and Digest begin, as offsets from _start (the log
# gives run-time addresses; the binary is position independent).
symbols=$(nm "$bench" | awk '$3 == "_start" || $3 ~ /Road7RunOnceEv$/ || $3 ~ /Road6DigestEv$/')

# Reads a qemu log on stdin; prints "RunOnce N" or "Digest N" at each entry into those
# functions, N being the instructions executed since the program started, and "total N
# blocks M unknown U" at the end (U executed blocks whose translation was not seen: must be 0).
count_log() {
  awk -v symbols="$symbols" '
    function hex(text,   value, i) {
      value = 0
      text = tolower(text)
      sub(/^0x/, "", text)
      for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return value
    }
    # An instruction line has a field that is not a byte: long instructions continue their
    # bytes on lines of their own, which start with an address too.
    function isInstruction(   i) {
      for (i = 2; i <= NF; i++) if ($i !~ /^[0-9a-f][0-9a-f]$/) return 1
      return 0
    }
    BEGIN {
      lines = split(symbols, list, "\n")
      for (i = 1; i <= lines; i++) {
        split(list[i], field, " ")
        offset[field[3]] = hex(field[1])
        if (field[3] ~ /RunOnce/) kind[field[3]] = "RunOnce"
        if (field[3] ~ /Digest/) kind[field[3]] = "Digest"
      }
    }
    /^IN:/ { inBlock = 1; instructions = 0; next }
    inBlock && /^0x/ { if (isInstruction()) instructions++; next }
    inBlock && /^$/ { inBlock = 0; pending = instructions; hasPending = 1; next }
    /^Trace / {
      key = $3 " " $4
      if (hasPending) { size[key] = pending; hasPending = 0 }
      if (!(key in size)) unknown++
      if (NF == 5 && ($5 in offset)) {
        split($4, bracket, "/")
        pc = hex(bracket[2])
        if ($5 == "_start" && !based) { base = pc - offset[$5]; based = 1 }
        else if (based && ($5 in kind) && pc == base + offset[$5]) print kind[$5], total
      }
      total += size[key]
      blocks++
    }
    END { printf "total %d blocks %d unknown %d\n", total, blocks, unknown }'
}

# Passes stdin to stdout in large pieces. qemu writes its log a line at a time; a reader woken
# for every line (the emulator runs under nice, the reader would preempt it each time) makes
# the run several times slower when the other core is busy. A 1 MiB pipe read at most a hundred
# times a second lets the emulator run on.
relay() {
  python3 -c '
import fcntl, os, sys, time
try:
    fcntl.fcntl(0, 1031, 1 << 20)  # F_SETPIPE_SZ
except OSError:
    pass
while True:
    data = os.read(0, 1 << 20)
    if not data:
        break
    sys.stdout.buffer.write(data)
    sys.stdout.buffer.flush()
    if len(data) < 1 << 18:
        time.sleep(0.01)
'
}

# Counts the engines of one scene whose names match the alternation $2 in one run (the scene
# is built and checked once, not once a case), allowing it $budget seconds. Prints
# "ENGINE COUNT UNITS DIFFERENCE" for each case whose draws all completed (COUNT: the second
# timed draw; DIFFERENCE: how many more instructions it executed than the first), then
# "status S" with the emulator's exit status (124: out of time).
count_scene() {
  local scene="$1" pattern="^$1/($2)(/|\$)" scratch="$scratch_root/$1" cases
  mkdir -p "$scratch"
  # The cases in the order the run takes them (Google Benchmark's registration order).
  mapfile -t cases < <($qemu "$bench" --benchmark_list_tests=true \
    --benchmark_filter="$pattern" | sed 's,^[^/]*/,,')
  local status
  set +e
  if [[ -z $qemu ]]; then
    (cd "$scratch" && timeout "$budget" nice -n 19 valgrind --tool=callgrind \
      --collect-atstart=no --toggle-collect='*::RunOnce()' --dump-after='*::RunOnce()' \
      "$OLDPWD/$bench" --glyph-stride="$glyph_stride" --iterations=3 \
      --benchmark_filter="$pattern" >stdout 2>stderr)
    status=$?
    # One dump a call of RunOnce, numbered in call order; written as the marks count_log
    # gives, four calls (the warm-up and the three timed draws) to a case.
    (cd "$scratch" && ls callgrind.out.*.* 2>/dev/null | sort -t. -k4 -n |
      xargs -r grep -h '^summary:') |
      awk '{ print "RunOnce", total; total += $2; if (++calls % 4 == 0) print "Digest", total }
        END { print "total", total, "blocks 0 unknown 0" }' >"$scratch/marks"
  else
    local flags=(-d nochain,in_asm,exec)
    $singlestep && flags=(-singlestep "${flags[@]}")
    # The log goes through its own descriptor, so that the program's output cannot interleave.
    {
      timeout "$budget" nice -n 19 "$qemu" "${flags[@]}" -D /dev/fd/3 \
        "$bench" --glyph-stride="$glyph_stride" --iterations=3 --benchmark_filter="$pattern" \
        3>&1 >"$scratch/stdout" 2>"$scratch/stderr"
    } | relay | count_log >"$scratch/marks"
    status=${PIPESTATUS[0]}
  fi
  set -e
  # Glyph scenes count per glyph (the scene check names how many there are), others per call.
  local units=1
  if [[ $scene == glyphs* ]]; then
    units=$(sed -n 's/.* of \([0-9]*\) units checked.*/\1/p' "$scratch/stderr")
  fi
  # Each case enters RunOnce four times (the warm-up, then three timed draws) and Digest once
  # after its loop; a draw is the span between two entries into RunOnce.
  awk -v names="${cases[*]}" -v units="${units:-0}" '
    BEGIN { split(names, name, " ") }
    $1 == "RunOnce" { entry[++n] = $2 }
    $1 == "Digest" {
      ++done
      if (n == 4 && units > 0) {
        second = entry[4] - entry[3]
        printf "%s %d %d %d\n", name[done], second, units, second - (entry[3] - entry[2])
      }
      n = 0
    }
    $1 == "total" && $6 != 0 { exit }' "$scratch/marks"
  echo "status $status"
}

scratch_root=$(mktemp -d)
trap 'rm -rf "$scratch_root"' EXIT
trap 'exit 143' INT TERM

# Peers first, so that each road finds its peer's count when its row is printed.
engines=(FreeType Cairo-AA Cairo-noAA kernel AllShapeDraw AllShapeDraw_Quickly)
declare -A peer=([AllShapeDraw]=Cairo-AA [AllShapeDraw_Quickly]=Cairo-noAA [kernel]=FreeType)
declare -A perUnit

echo "# $arch under ${qemu:-callgrind}$($singlestep && echo ' -singlestep'): instructions of one warm draw,"
echo "# per glyph for glyph scenes (every $glyph_stride-th glyph), per call otherwise; ratio is"
echo "# engine / peer. The ribbon scenes have no peer and are not counted."
printf '%-12s %-22s %16s %8s %s\n' case engine instructions/unit ratio note
for scene in glyphs16 glyphs64 glyphs256 triangles1k quad4096 shapes10k; do
  selected=()
  for engine in "${engines[@]}"; do
    [[ $scene/$engine =~ $filter ]] && selected+=("$engine")
  done
  ((${#selected[@]})) || continue
  start=$SECONDS
  declare -A result=()
  status=0
  while read -r engine rest; do
    if [[ $engine == status ]]; then status=$rest; else result[$engine]=$rest; fi
  done < <(count_scene "$scene" "$(IFS='|' && echo "${selected[*]}")")
  for engine in "${selected[@]}"; do
    if [[ -z ${result[$engine]:-} ]]; then
      reason="the run failed (status $status)"
      ((status == 124)) && reason="the scene's run passed $budget s first"
      printf '%-12s %-22s %16s %8s %s\n' "$scene" "$engine" - - "left out: $reason"
      continue
    fi
    read -r count units difference <<<"${result[$engine]}"
    perUnit[$scene/$engine]=$(awk -v c="$count" -v u="$units" 'BEGIN { printf "%.0f", c / u }')
    ratio=-
    if [[ -n ${peer[$engine]:-} && -n ${perUnit[$scene/${peer[$engine]}]:-} ]]; then
      ratio=$(awk -v a="${perUnit[$scene/$engine]}" -v b="${perUnit[$scene/${peer[$engine]}]}" \
        'BEGIN { printf "%.2fx", a / b }')
    fi
    note="per call"
    [[ $scene == glyphs* ]] && note="$units glyphs"
    ((difference > 0)) && note+=", the first timed draw executed $difference fewer"
    ((difference < 0)) && note+=", the first timed draw executed $((-difference)) more"
    printf '%-12s %-22s %16s %8s %s\n' "$scene" "$engine" "${perUnit[$scene/$engine]}" "$ratio" \
      "$note"
  done
  echo "# $scene: $((SECONDS - start)) s for ${#selected[@]} cases in one run"
  unset result
done
