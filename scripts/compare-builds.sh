#!/bin/sh
# Compares two builds of morvex over the same few hundred DVI files, for
# changes that must not alter behaviour (a refactor):
#
#   sh scripts/compare-builds.sh [REV] [COUNT]
#
# builds git revision REV (default HEAD) in a temporary directory and the
# working tree in build-compare/, makes a corpus (COUNT random DVI files from
# tests/compare/make_corpus.cpp, default 300, plus the documents of
# tests/data and examples/ typeset by plain tex, and the documents of
# tests/data/latex typeset by latex, each also with --paths and twice with
# --cache), and runs every case with both binaries, each in a fresh empty
# directory. A case is one run per line of its arguments, in the same
# directory. Exit codes, standard output, standard error, every file left
# in the working directory (out.svg, fonts.svg, out.log, the cache's
# entries, ...) and anything left in the private temporary directory must
# be the same byte for byte once each build's own paths (and the random
# part of its private directories' names) are replaced by placeholders.
# Differing cases are kept in build-compare/differences/ (emptied at the
# start of each run).
#
# Exit code: 0 all identical, 1 some case differs, 2 the comparison could
# not be made (a build or tex failed, bad arguments).
#
# Environment: MORVEX_COMPARE_COUNT (random files; the second argument
# wins), MORVEX_COMPARE_SEED (default 1), MORVEX_COMPARE_BUILD (the working
# tree's build directory), MORVEX_COMPARE_JOBS (parallel runs and build
# jobs, default 2).
set -eu
export LC_ALL=C

# One case, run by xargs: sh compare-builds.sh --case NAME (internal).
if [ "${1-}" = "--case" ]; then
    set -f  # the argument words are split, never expanded
    name=$2
    case_dir=$CMP_DIR/run/$name
    # The run directory is gone once the comparison was interrupted.
    mkdir "$case_dir" 2>/dev/null || exit 0
    for side in rev tree; do
        if [ "$side" = rev ]; then
            bin=$CMP_DIR/bin-rev conf=$CMP_REV_CONF conf_re=$CMP_REV_CONF_RE
        else
            bin=$CMP_DIR/bin-tree conf=$CMP_TREE_CONF conf_re=$CMP_TREE_CONF_RE
        fi
        d=$case_dir/$side
        mkdir "$d" "$d/wd" "$d/tmp"
        cp "$CMP_DIR/corpus/$name.dvi" "$d/wd/in.dvi"
        : >"$d/stdout"
        : >"$d/stderr"
        : >"$d/exit"
        while IFS= read -r args; do
            rc=0
            # shellcheck disable=SC2086 # the words of the args file
            (cd "$d/wd" && PATH="$bin:$PATH" MKTEXTFM=0 TMPDIR="$d/tmp" exec $CMP_TIMEOUT morvex -c "$conf" $args) \
                </dev/null >>"$d/stdout" 2>>"$d/stderr" || rc=$?
            echo "$rc" >>"$d/exit"
        done <"$CMP_DIR/corpus/$name.args"
        # The paths that differ between the two sides only become
        # placeholders (case names are plain, so only the directories
        # need quoting).
        run_re=$CMP_DIR_RE/run/$name/$side
        grep -rlF -e "$conf" -e "$CMP_DIR/run/" "$d" | while IFS= read -r f; do
            sed -i -e "s#$conf_re#@CONFIG@#g" -e "s#$run_re/wd#@WORKDIR@#g" \
                -e "s#$run_re/tmp/morvex-[A-Za-z0-9]\{6\}#@TMPDIR@/morvex-XXXXXX#g" -e "s#$run_re/tmp#@TMPDIR@#g" "$f"
        done
    done
    if differences=$(cd "$case_dir" && diff -rq rev tree 2>&1); then
        : >"$CMP_DIR/results/$name.same"
        rm -rf "$case_dir"
    else
        printf '%s\n' "$differences" >"$case_dir/differences.txt"
        cp "$CMP_DIR/corpus/$name.dvi" "$case_dir/in.dvi"
        cp "$CMP_DIR/corpus/$name.args" "$case_dir/args"
        mv "$case_dir" "$CMP_KEEP/$name"
        : >"$CMP_DIR/results/$name.diff"
    fi
    exit 0
fi

root=$(cd "$(dirname "$0")/.." && pwd)
self=$root/scripts/compare-builds.sh
rev=${1:-HEAD}
count=${2:-${MORVEX_COMPARE_COUNT:-300}}
seed=${MORVEX_COMPARE_SEED:-1}
jobs=${MORVEX_COMPARE_JOBS:-2}
build=${MORVEX_COMPARE_BUILD:-$root/build-compare}
for n in "$count" "$seed" "$jobs"; do
    case $n in
        '' | *[!0-9]*)
            echo "compare-builds: COUNT, MORVEX_COMPARE_SEED and MORVEX_COMPARE_JOBS must be numbers" >&2
            exit 2
            ;;
    esac
done
if ! commit=$(git -C "$root" rev-parse --verify --quiet "$rev^{commit}"); then
    echo "compare-builds: $rev is not a revision of $root" >&2
    exit 2
fi

# Long steps run in a process group of their own (setsid), so that an
# interrupt ends them whole before the temporary directory goes.
tmp=
job=
cleanup() {
    if [ -n "$job" ]; then
        kill -s TERM -- "-$job" 2>/dev/null || kill -s TERM "$job" 2>/dev/null || true
        wait "$job" 2>/dev/null || true
        job=
    fi
    if [ -n "$tmp" ]; then
        rm -rf "$tmp"
        tmp=
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
setsid=
if command -v setsid >/dev/null 2>&1; then setsid="setsid --wait"; fi
# run_job INPUT LOG COMMAND...: runs COMMAND reading INPUT, its output in LOG.
run_job() {
    input=$1
    log=$2
    shift 2
    $setsid "$@" <"$input" >"$log" 2>&1 &
    job=$!
    status=0
    wait "$job" || status=$?
    job=
    return "$status"
}
fail() {
    echo "compare-builds: $1" >&2
    if [ -n "${2-}" ] && [ -f "$2" ]; then tail -n 30 "$2" >&2; fi
    exit 2
}
now() { date +%s; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/cmp-morvex.XXXXXX")
keep=$build/differences
started=$(now)

echo "compare-builds: $rev ($(git -C "$root" rev-parse --short "$commit")) against the working tree of $root"
mkdir "$tmp/rev-src"
git -C "$root" archive --format=tar "$commit" | tar -x -C "$tmp/rev-src"
run_job /dev/null "$tmp/rev-build.log" cmake -S "$tmp/rev-src" -B "$tmp/rev-build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVEX_TESTS=OFF || fail "configuring $rev failed" "$tmp/rev-build.log"
run_job /dev/null "$tmp/rev-build.log" cmake --build "$tmp/rev-build" -j"$jobs" ||
    fail "building $rev failed" "$tmp/rev-build.log"
# Only the program, its configuration and the corpus generator: the tests
# are not needed here.
run_job /dev/null "$tmp/tree-build.log" cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVEX_TESTS=ON || fail "configuring the working tree in $build failed" "$tmp/tree-build.log"
run_job /dev/null "$tmp/tree-build.log" cmake --build "$build" -j"$jobs" \
    --target morvex morvex_config morvex_make_corpus || fail "building the working tree failed" "$tmp/tree-build.log"
built=$(now)

# Each side is called through a directory of its own on PATH, so both see
# the same argv[0].
mkdir "$tmp/bin-rev" "$tmp/bin-tree"
ln -s "$tmp/rev-build/src/front/morvex" "$tmp/bin-rev/morvex"
ln -s "$build/src/front/morvex" "$tmp/bin-tree/morvex"

mkdir "$tmp/corpus" "$tmp/tex" "$tmp/run" "$tmp/results"
run_job /dev/null "$tmp/corpus.log" "$build/tests/compare/morvex_make_corpus" "$tmp/corpus" "$count" "$seed" ||
    fail "the corpus generator failed" "$tmp/corpus.log"
for src in "$root"/tests/data/*.tex "$root"/examples/example.tex; do
    doc=$(basename "$src" .tex)
    (cd "$tmp/tex" && tex -interaction=nonstopmode -halt-on-error "$src" </dev/null >"$doc.texlog" 2>&1) ||
        fail "tex failed on $src" "$tmp/tex/$doc.texlog"
    for page in 1 2 3; do
        cp "$tmp/tex/$doc.dvi" "$tmp/corpus/tex-$doc-p$page.dvi"
        echo "-p $page in.dvi" >"$tmp/corpus/tex-$doc-p$page.args"
        echo "tex-$doc-p$page tex-document" >>"$tmp/corpus/index.txt"
    done
done
# The LaTeX documents: the default document, --paths, and --cache twice
# (the first run fills the cache, the second reads it), on their first two
# pages.
for src in "$root"/tests/data/latex/*.tex; do
    doc=$(basename "$src" .tex)
    (cd "$tmp/tex" && latex -interaction=nonstopmode -halt-on-error "$src" </dev/null >"$doc.texlog" 2>&1) ||
        fail "latex failed on $src" "$tmp/tex/$doc.texlog"
    for page in 1 2; do
        for mode in plain paths cache paths-cache; do
            case $mode in
                plain) args="-p $page in.dvi" ;;
                paths) args="--paths -p $page in.dvi" ;;
                cache) args="--cache=cache -p $page in.dvi" ;;
                paths-cache) args="--paths --cache=cache -p $page in.dvi" ;;
            esac
            name=latex-$doc-p$page-$mode
            cp "$tmp/tex/$doc.dvi" "$tmp/corpus/$name.dvi"
            case $mode in
                *cache) printf '%s\n%s\n' "$args" "$args" >"$tmp/corpus/$name.args" ;;
                *) printf '%s\n' "$args" >"$tmp/corpus/$name.args" ;;
            esac
            echo "$name latex-document" >>"$tmp/corpus/index.txt"
        done
    done
done
# The plain tex documents with --paths and with the cache as well.
for src in "$root"/tests/data/*.tex; do
    doc=$(basename "$src" .tex)
    for mode in paths cache; do
        name=tex-$doc-p1-$mode
        cp "$tmp/tex/$doc.dvi" "$tmp/corpus/$name.dvi"
        case $mode in
            paths) echo "--paths -p 1 in.dvi" >"$tmp/corpus/$name.args" ;;
            cache) printf '%s\n%s\n' "--cache=cache -p 1 in.dvi" "--cache=cache -p 1 in.dvi" >"$tmp/corpus/$name.args" ;;
        esac
        echo "$name tex-document" >>"$tmp/corpus/index.txt"
    done
done
total=$(find "$tmp/corpus" -name '*.args' | wc -l)
echo "compare-builds: $total cases ($count random, seed $seed, and the tex and latex documents), $jobs at a time"

rm -rf "$keep"
mkdir -p "$keep"
# A run that hangs ends after two minutes (exit 124 in the comparison). In
# the foreground mode the run stays in the process group of the runs, which
# an interrupt ends whole.
timeout_cmd=
if timeout --foreground 10 true 2>/dev/null; then
    timeout_cmd="timeout --foreground 120"
elif command -v timeout >/dev/null 2>&1; then
    timeout_cmd="timeout 120"
fi
export CMP_DIR="$tmp" CMP_KEEP="$keep" CMP_TIMEOUT="$timeout_cmd"
export CMP_REV_CONF="$tmp/rev-build/config" CMP_TREE_CONF="$build/config"
# The same paths as sed patterns.
quote() { printf '%s\n' "$1" | sed 's/[][\.*^$#]/\\&/g'; }
CMP_DIR_RE=$(quote "$tmp") CMP_REV_CONF_RE=$(quote "$CMP_REV_CONF") CMP_TREE_CONF_RE=$(quote "$CMP_TREE_CONF")
export CMP_DIR_RE CMP_REV_CONF_RE CMP_TREE_CONF_RE
(cd "$tmp/corpus" && ls -- *.args) | sed 's/\.args$//' >"$tmp/cases"
run_job "$tmp/cases" "$tmp/runs.log" xargs -P "$jobs" -n 1 sh "$self" --case ||
    fail "running the cases failed" "$tmp/runs.log"
finished=$(now)

same=$(find "$tmp/results" -name '*.same' | wc -l)
differ=$(find "$tmp/results" -name '*.diff' | wc -l)
missing=$((total - same - differ))
echo "compare-builds: $total cases, $same identical, $differ different" \
    "(builds $((built - started)) s, corpus and runs $((finished - built)) s)"
if [ "$missing" -ne 0 ]; then
    echo "compare-builds: $missing cases gave no result" >&2
    cat "$tmp/runs.log" >&2
    exit 2
fi
if [ "$differ" -eq 0 ]; then
    rm -rf "$keep"
    exit 0
fi

# The first few differing cases: what differs, and the start of the first
# difference.
shown=0
for name in $(cd "$tmp/results" && ls -- *.diff | sed 's/\.diff$//'); do
    [ "$shown" -lt 5 ] || break
    shown=$((shown + 1))
    kind=$(sed -n "s/^$name //p" "$tmp/corpus/index.txt")
    what=$(sed -e 's#^Files rev/\(.*\) and tree/.* differ$#\1#' \
        -e 's#^Only in \([a-z]*\)/\(.*\): \(.*\)$#\2/\3 (only \1)#' "$keep/$name/differences.txt" | tr '\n' ' ')
    echo
    echo "$name ($kind; args: $(cat "$keep/$name/args")): $what"
    first=$(sed -n 's#^Files rev/\(.*\) and tree/.* differ$#\1#p' "$keep/$name/differences.txt" | head -n 1)
    if [ -n "$first" ]; then
        # Bytes a terminal would take for controls are shown as '?'.
        (cd "$keep/$name" && diff -u -a "rev/$first" "tree/$first" | head -n 14 | cut -c 1-160 |
            tr -c '\11\12\40-\176' '?') || true
    fi
done
echo
echo "compare-builds: the $differ differing cases (DVI, args, both sides' outputs) are in $keep"
exit 1
