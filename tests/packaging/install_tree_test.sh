#!/usr/bin/env bash
# The installed tree: `cmake --install` and `make install PREFIX=...` put
# the three programs in bin/, the manual pages in share/man/man1 and man5
# and the example configuration and documents in share/doc/ravlog/; the
# installed programs run from there.
#   install_tree_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { passes=$((passes + 1)); }

# Checks the tree under $1 (the prefix as installed, DESTDIR included).
check_tree() {
    local tree=$1 what=$2
    for program in ravlog pondrel brimsel; do
        if [ ! -x "$tree/bin/$program" ]; then
            fail "$what: bin/$program missing"
            continue
        fi
        local out status
        out=$("$tree/bin/$program" -? 2>/dev/null)
        status=$?
        if [ $status -ne 0 ] || [[ $out != *"Usage:  $program [<options>...]"* ]]; then
            fail "$what: installed $program -? gave status $status without its usage text"
        else
            pass
        fi
    done
    # Every manual page of the sources, in the section its name ends with.
    for page in "$src"/man/*.[0-9]; do
        local name section
        name=$(basename "$page")
        section=${name##*.}
        if [ -f "$tree/share/man/man$section/$name.gz" ]; then
            if ! gzip -dc "$tree/share/man/man$section/$name.gz" | cmp -s - "$page"; then
                fail "$what: share/man/man$section/$name.gz is not $name"
            else
                pass
            fi
        elif [ -f "$tree/share/man/man$section/$name" ]; then
            cmp -s "$tree/share/man/man$section/$name" "$page" && pass ||
                fail "$what: share/man/man$section/$name differs from the source"
        else
            fail "$what: share/man/man$section/$name not installed"
        fi
    done
    # The example configuration and every document of the sources.
    for doc in "$src"/examples/ravlog.ctl "$src"/docs/*.md "$src"/docs/html-report.png; do
        [ -f "$doc" ] || continue
        if cmp -s "$doc" "$tree/share/doc/ravlog/$(basename "$doc")"; then
            pass
        else
            fail "$what: share/doc/ravlog/$(basename "$doc") not installed as in the sources"
        fi
    done
    # The README lies beside the documents it links into docs/.
    if sed 's|](docs/|](|g; s|\[docs/|[|g' "$src/README.md" | cmp -s - "$tree/share/doc/ravlog/README.md"; then
        pass
    else
        fail "$what: share/doc/ravlog/README.md is not the README with its links beside it"
    fi
    # Nothing but those: no libraries, headers or project tools.
    local stray
    stray=$(cd "$tree" && find . -type f ! -path './bin/*' ! -path './share/man/*' \
        ! -path './share/doc/ravlog/*' | sort)
    [ -z "$stray" ] && pass || fail "$what: unexpected files installed: $stray"
    [ ! -e "$tree/bin/histgen" ] && pass || fail "$what: histgen is installed"
}

if cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
    check_tree "$work/prefix" "cmake --install"
else
    cat "$work/install.log"
    fail "cmake --install failed"
fi

# The Makefile target, with DESTDIR staging as a package build uses it.
if make -s -C "$src" install BUILD="$build" PREFIX=/opt/ravlog DESTDIR="$work/stage" \
    >"$work/make.log" 2>&1; then
    check_tree "$work/stage/opt/ravlog" "make install"
else
    cat "$work/make.log"
    fail "make install PREFIX=/opt/ravlog DESTDIR=... failed"
fi

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
