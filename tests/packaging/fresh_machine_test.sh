#!/usr/bin/env bash
# A newcomer's first minutes on a fresh Debian 12: builds a minimal root
# (mmdebstrap, variant minbase), puts a clean clone of this repository's
# HEAD into /root/ravlog there and runs the two commands of the README's
# "Getting started" in it as root, through chroot. Passes when both exit 0,
# the demo's reports exist and are not empty and the tests ran and passed.
# Before them, the set-up run as a plain user must stop with the list of
# packages to install; after them, a second demo must install nothing.
# Needs root, mmdebstrap, git and the Debian mirror; takes some minutes.
#   fresh_machine_test.sh [SUITE]    (default: bookworm)
set -uo pipefail
suite=${1:-bookworm}
src=$(git -C "$(dirname "$0")" rev-parse --show-toplevel) || exit 1
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { passes=$((passes + 1)); }

if [ "$(id -u)" -ne 0 ]; then
    echo "fresh_machine_test.sh: needs root (it builds and enters a chroot)" >&2
    exit 1
fi
if ! command -v mmdebstrap >/dev/null; then
    echo "fresh_machine_test.sh: needs mmdebstrap (apt-get install mmdebstrap)" >&2
    exit 1
fi

# The README's commands: the lines of the first sh block under
# "## Getting started", without their comments.
mapfile -t commands < <(awk '
    /^## / { in_section = ($0 == "## Getting started") }
    in_section && /^```sh$/ && !done { in_block = 1; next }
    in_block && /^```/ { in_block = 0; done = 1 }
    in_block { sub(/#.*/, ""); sub(/[ \t]+$/, ""); if ($0 != "") print }
' "$src/README.md")
if [ ${#commands[@]} -ne 2 ]; then
    echo "fresh_machine_test.sh: expected two commands in README.md's Getting started," \
        "found ${#commands[@]}: ${commands[*]}" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/fresh-machine.XXXXXX") || exit 1
root=$work/root
clone=/root/ravlog

# Leaves nothing behind, whatever happened: the processes still running in
# the root, its mounts, then the folder, but only once nothing is mounted
# under it any more (a mount would take host files with it).
cleanup() {
    local pid mount start=$SECONDS
    for pid in /proc/[0-9]*; do
        [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "${pid#/proc/}" 2>/dev/null
    done
    for mount in "$root/dev/pts" "$root/proc" "$root" "$work"; do
        if mountpoint -q "$mount"; then umount "$mount" || umount -l "$mount"; fi
    done
    if awk -v dir="$work" '$5 == dir || index($5, dir "/") == 1 { found = 1 } END { exit !found }' \
        /proc/self/mountinfo; then
        echo "fresh_machine_test.sh: $work still has mounts; left in place" >&2
        exit 1
    fi
    rm -rf --one-file-system "$work"
    echo "== Cleaned up in $((SECONDS - start)) s"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

# Prefixes each line with the seconds since the step began, for the log and
# for telling where the time goes.
stamp() {
    local start=$SECONDS line
    while IFS= read -r line; do printf '[%4d s] %s\n' $((SECONDS - start)) "$line"; done
}

# in_root [chroot options] -- COMMAND: runs COMMAND with sh in the root, in
# the clean environment of a fresh login.
in_root() {
    local options=()
    while [ "$1" != -- ]; do options+=("$1"); shift; done
    shift
    chroot "${options[@]}" "$root" /usr/bin/env -i HOME=/root LOGNAME=root \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/sh -c "$1"
}

durations=()
step_start=$SECONDS
timed() { durations+=("$(printf '%-22s %4d s' "$1" $((SECONDS - step_start)))"); step_start=$SECONDS; }

# The whole machine lives in memory: dpkg's and the build's writes cost no
# disk syncs, and unmounting removes it at once.
mount -t tmpfs -o size=8G,mode=0755 fresh-machine "$work" || exit 1

echo "== Debian $suite, variant minbase, in $root"
if ! mmdebstrap --variant=minbase --mode=root "$suite" "$root" 2>&1 | stamp; then
    echo "fresh_machine_test.sh: mmdebstrap failed" >&2
    exit 1
fi
timed mmdebstrap
# The root is a mount point, as / is on a machine: the cut test that mounts
# a small file system of its own needs that.
mount --bind "$root" "$root" || exit 1
mount -t proc proc "$root/proc" || exit 1
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts" || exit 1
cp -L /etc/resolv.conf "$root/etc/resolv.conf" || exit 1

commit=$(git -C "$src" rev-parse HEAD)
echo "== A clone of $commit in $clone"
git clone --quiet --no-hardlinks "$src" "$root$clone" &&
    git -C "$root$clone" checkout --quiet --detach "$commit" || exit 1

# Without root and without sudo, the set-up can only say what to install.
cp "$root$clone/run" "$root/tmp/run"
out=$(in_root --userspec=65534:65534 -- 'cd /tmp && ./run demo' 2>&1)
status=$?
if [ $status -eq 1 ] && [[ $out == *"apt-get install g++ cmake make libsqlite3-dev zlib1g-dev)"* ]]; then
    pass
else
    fail "./run demo without root nor sudo: status $status, said: $out"
fi

log=$work/commands.log
for command in "${commands[@]}"; do
    echo "== $command"
    in_root -- "cd $clone && $command" 2>&1 | stamp | tee -a "$log"
    status=${PIPESTATUS[0]}
    timed "$command"
    if [ "$status" -eq 0 ]; then pass; else fail "$command: exit status $status"; fi
done

for report in brimsel.txt ravlog.ses ravlog.lnk ravlog.out pondrel.txt pondrel-ascii.txt \
    day.html day.json week.html week.json; do
    if [ -s "$root$clone/demo-out/$report" ]; then pass; else fail "demo-out/$report missing or empty"; fi
done

summary=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
if [[ $summary =~ ^100%\ tests\ passed,\ 0\ tests\ failed\ out\ of\ [1-9] ]]; then
    pass
else
    fail "no CTest run that passed (${summary:-no summary})"
fi
# Why tests were skipped: a missing tool or missing zone data means that
# ./run check leaves out a package the tests need.
echo "== Tests that did not run, and why"
grep -E '\((Skipped|Not Run|Disabled)\)$' "$log"
reasons=$(awk '/:[0-9]+: Skipped$/ { getline; print; next } /^SKIP: / { print }' \
    "$root$clone/build/Testing/Temporary/LastTest.log" | sort | uniq -c)
echo "$reasons"
if grep -Eq 'installed|zone data' <<<"$reasons"; then
    fail "tests skipped for want of a package"
else
    pass
fi

# Everything is there now: the demo again installs nothing.
echo "== ${commands[0]}, again"
out=$(in_root -- "cd $clone && ${commands[0]}" 2>&1)
status=$?
timed "${commands[0]}, again"
if [ $status -eq 0 ] && [[ $out != *installing* ]]; then
    pass
else
    fail "second ${commands[0]}: status $status, or it installed: $(grep installing <<<"$out")"
fi

echo "== Durations"
printf '%s\n' "${durations[@]}"
echo "(the machine took $(df --output=used -BM "$work" | tail -n 1 | tr -d ' ') in memory)"
echo "fresh_machine: $passes passed, $failures failed"
[ $failures -eq 0 ]
