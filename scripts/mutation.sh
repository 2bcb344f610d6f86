#!/usr/bin/env bash
# Mutation run: plants single-line faults in a scratch copy of this clone, one at a time, and tells
# which of them the tests catch. Run on demand (it takes a while); it is not part of the test command.
#
#   scripts/mutation.sh [LIST]        LIST defaults to scripts/mutations.tsv
#
# The list has one mutation a line, four or five fields separated by tabs:
#   FILE  LINE  FROM  TO  [TARGET]
# FILE is relative to the clone's root; FROM is the exact text to replace (its first occurrence on
# the line) and TO its replacement; LINE is only a hint: FROM is looked for on the line nearest to
# it that holds it, so the list survives edits that move lines. TARGET is the test binary to build
# and run, by default the one of FILE's folder (training/x.cpp: training_tests), or several
# separated by commas (the mutant is caught when any of them fails). Blank lines and lines starting
# with # are skipped.
#
# Each mutant is built in one scratch build folder (ccache, no unity build, so a mutant recompiles
# its own file only) and its test binary runs within MUTATION_TIMEOUT seconds (default 120). A
# mutant whose tests fail or time out is killed, one whose tests pass survived; one that does not
# compile is not counted. The scratch copy lives in MUTATION_DIR (default
# ${TMPDIR:-/tmp}/kelvak-mutation-$USER) and is kept, so that a second run builds little.
# MUTATION_ONLY=REGEX runs only the list's lines that match it.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
list=${1:-$here/scripts/mutations.tsv}
scratch=${MUTATION_DIR:-${TMPDIR:-/tmp}/kelvak-mutation-${USER:-$(id -un)}}
timeout_s=${MUTATION_TIMEOUT:-120}
only=${MUTATION_ONLY:-}
src=$scratch/src
build=$scratch/build
log=$scratch/log
mkdir -p "$src" "$build" "$log"

[ -f "$list" ] || { echo "no mutation list: $list" >&2; exit 2; }
# Read the list before the scratch copy is touched: it may sit in this clone.
mapfile -t entries < <(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$list" |
  { if [ -n "$only" ]; then grep -E -- "$only" || true; else cat; fi; })

# The scratch copy mirrors the clone's files as they are now, committed or not; only files whose
# contents differ are copied, so the scratch build keeps what is still valid. A copied file takes the
# present time: with the original's time it could seem older than an object built from a mutant.
echo "== copying $here to $src"
(cd "$here" && git ls-files -z --cached --others --exclude-standard) |
  HERE=$here SRC=$src perl -0 -ne '
    chomp;
    my ($from, $to) = ("$ENV{HERE}/$_", "$ENV{SRC}/$_");
    next unless -f $from;
    my $same = 0;
    if (-f $to && -s $from == -s $to) {
      local $/; open my $a, "<", $from or die; open my $b, "<", $to or die;
      $same = <$a> eq <$b>;
    }
    next if $same;
    (my $dir = $to) =~ s{/[^/]*$}{};
    system("mkdir", "-p", $dir) == 0 or die;
    system("cp", $from, $to) == 0 or die "cp $from";
  '

export CCACHE_BASEDIR=$src CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
# The window's and the command line's suites too (a row may name app_tests); only the targets the
# list names are built.
if ! grep -qs '^KELVAK_BUILD_UI:BOOL=ON' "$build/CMakeCache.txt"; then
  echo "== configuring $build"
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DKELVAK_BUILD_TESTS=ON -DKELVAK_WERROR=ON -DKELVAK_FUZZ=OFF -DKELVAK_BUILD_UI=ON \
    -DKELVAK_BUILD_BENCH=OFF -DKELVAK_SANITIZE=OFF -DCMAKE_UNITY_BUILD=OFF \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >"$log/configure" 2>&1 ||
    { cat "$log/configure" >&2; exit 2; }
fi

target_of() {  # the test binary for a file: its folder's
  local folder=${1%%/*}
  echo "${folder}_tests"
}
binary_of() {  # where a test target's binary is built
  find "$build/tests" -type f -name "$1" -perm -u+x | head -n 1
}
build_target() {
  nice -n 15 ninja -C "$build" -j "${MUTATION_JOBS:-1}" "$1"
}

# Every target the list needs is built and passes unmutated first: a mutant is only judged
# against tests that pass without it.
mapfile -t targets < <(for e in "${entries[@]}"; do
  IFS=$'\t' read -r file _ _ _ target <<<"$e"
  echo "${target:-$(target_of "$file")}" | tr ',' '\n'
done | sort -u)
for t in "${targets[@]}"; do
  echo "== building and running $t unmutated"
  MUTATION_JOBS=${MUTATION_JOBS:-2} build_target "$t" >"$log/$t.build" 2>&1 ||
    { tail -n 30 "$log/$t.build" >&2; exit 2; }
  if ! QT_QPA_PLATFORM=offscreen timeout "$timeout_s" nice -n 15 "$(binary_of "$t")" \
    --gtest_brief=1 >"$log/$t.run" 2>&1; then
    tail -n 30 "$log/$t.run" >&2
    echo "$t fails without a mutation: no mutant can be judged" >&2
    exit 2
  fi
done

# plant FILE LINE FROM TO: replaces FROM by TO on the line nearest LINE that holds FROM; prints the
# line it changed, nothing when FROM is nowhere in the file.
plant() {
  FROM=$3 TO=$4 HINT=$2 perl -e '
    my ($path) = @ARGV;
    open my $in, "<", $path or die "$path: $!";
    my @lines = <$in>;
    close $in;
    my ($best, $far);
    for my $i (0 .. $#lines) {
      next if index($lines[$i], $ENV{FROM}) < 0;
      my $d = abs($i + 1 - $ENV{HINT});
      ($best, $far) = ($i, $d) if !defined $far || $d < $far;
    }
    exit 0 unless defined $best;
    my $at = index($lines[$best], $ENV{FROM});
    substr($lines[$best], $at, length $ENV{FROM}) = $ENV{TO};
    open my $out, ">", $path or die "$path: $!";
    print $out @lines;
    close $out;
    print $best + 1, "\n";
  ' "$1"
}

killed=0 survived=0 invalid=0 stale=0
survivors=()
n=0
for e in "${entries[@]}"; do
  IFS=$'\t' read -r file hint from to target <<<"$e"
  n=$((n + 1))
  target=${target:-$(target_of "$file")}
  what="$file:$hint  '$from' -> '$to'"
  if [ ! -f "$src/$file" ] || [ "$from" = "$to" ]; then
    printf '%3d STALE     %s\n' "$n" "$what"
    stale=$((stale + 1))
    continue
  fi
  cp -p "$src/$file" "$scratch/original"
  line=$(plant "$src/$file" "$hint" "$from" "$to")
  if [ -z "$line" ]; then
    printf '%3d STALE     %s (text not found)\n' "$n" "$what"
    stale=$((stale + 1))
    continue
  fi
  what="$file:$line  '$from' -> '$to'"
  # Put back whatever happens; the new time stamp makes the next build compile the original again.
  restore() { cp "$scratch/original" "$src/$file" && touch "$src/$file"; }
  IFS=, read -ra suites <<<"$target"
  built=1
  for t in "${suites[@]}"; do
    build_target "$t" >"$log/mutant.build" 2>&1 || { built=0; break; }
  done
  if [ "$built" -eq 0 ]; then
    restore
    # Linking lists the binary's tests by running it: a mutant that crashes while the cases are
    # made (a table row computed when the program starts) built, and was caught.
    if grep -q 'Error running test executable' "$log/mutant.build"; then
      printf '%3d killed    %s  [%s]\n' "$n" "$what" "crashed listing its tests"
      killed=$((killed + 1))
      continue
    fi
    printf '%3d INVALID   %s (does not build)\n' "$n" "$what"
    invalid=$((invalid + 1))
    continue
  fi
  status=0
  : >"$log/mutant.run"
  for t in "${suites[@]}"; do
    # The shell's own word on a crash goes to the log too.
    { QT_QPA_PLATFORM=offscreen timeout "$timeout_s" nice -n 15 "$(binary_of "$t")" \
      --gtest_brief=1 >>"$log/mutant.run" 2>&1; } 2>>"$log/mutant.run" || status=$?
    [ "$status" -eq 0 ] || break
  done
  restore
  if [ "$status" -eq 0 ]; then
    printf '%3d SURVIVED  %s\n' "$n" "$what"
    survived=$((survived + 1))
    survivors+=("$what")
  else
    # The first failing case, or the time out.
    why=$(grep -m1 -o '^\[  FAILED  \] [^ ,]*' "$log/mutant.run" | cut -c14- || true)
    [ "$status" -eq 124 ] && why="timed out after $timeout_s s"
    [ -z "$why" ] && why="exit status $status"
    printf '%3d killed    %s  [%s]\n' "$n" "$what" "$why"
    killed=$((killed + 1))
  fi
done

judged=$((killed + survived))
echo
echo "killed $killed, survived $survived, not built $invalid, stale $stale"
if [ "$judged" -gt 0 ]; then
  echo "rate $(awk -v k="$killed" -v j="$judged" 'BEGIN { printf "%.1f", 100 * k / j }') % of $judged"
fi
for s in "${survivors[@]}"; do echo "survived: $s"; done
