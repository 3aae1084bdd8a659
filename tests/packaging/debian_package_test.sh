#!/usr/bin/env bash
# The Debian package: cpack builds it with its metadata and the
# dependencies dpkg-shlibdeps finds; unpacked into a scratch root, each
# program runs from there and prints its usage.
#   debian_package_test.sh BUILD_DIR CPACK
set -uo pipefail
build=$1
cpack=$2
for tool in dpkg-deb dpkg-shlibdeps file; do
    if ! command -v $tool >/dev/null; then
        echo "SKIP: $tool is not installed (Debian packages dpkg-dev, file); the package is not tested"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { passes=$((passes + 1)); }
expect() {  # expect WHAT ACTUAL PATTERN: ACTUAL must match the glob PATTERN
    if [[ $2 == $3 ]]; then pass; else fail "$1: '$2' does not match '$3'"; fi
}

if ! (cd "$work" && "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" \
    >"$work/cpack.log" 2>&1); then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB failed"
    exit 1
fi
debs=("$work"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    ls -l "$work/out"
    echo "FAIL: cpack wrote ${#debs[@]} packages instead of one"
    exit 1
fi
deb=${debs[0]}
field() { dpkg-deb -f "$deb" "$1"; }

dpkg-deb -x "$deb" "$work/root"
# The version of the package is the version the programs announce.
banner=$("$work/root/usr/bin/ravlog" -? 2>/dev/null | head -n 1)
version=${banner#Ravlog }
version=${version%%/*}

expect Package "$(field Package)" ravlog
expect Version "$(field Version)" "$version-1"
expect "file name" "$(basename "$deb")" "ravlog_${version}-1_$(field Architecture).deb"
expect Section "$(field Section)" "@(net|utils)"
expect Maintainer "$(field Maintainer)" "?*<?*@?*>"
# dpkg-shlibdeps found the C and C++ runtime libraries the programs link,
# the SQLite library of the day archive and zlib of the text log's copies.
expect Depends "$(field Depends)" "*libc6*"
expect Depends "$(field Depends)" "*libstdc++6*"
expect Depends "$(field Depends)" "*libsqlite3-0*"
expect Depends "$(field Depends)" "*zlib1g*"
description=$(field Description)
expect "Description synopsis" "${description%%$'\n'*}" "?*"
expect "Description text" "$description" "*ravlog*pondrel*brimsel*"

for program in ravlog pondrel brimsel; do
    out=$("$work/root/usr/bin/$program" -? 2>"$work/err")
    status=$?
    if [ $status -eq 0 ] && [[ $out == *"Usage:  $program [<options>...]"* ]] &&
        [[ $out == *"-?, --help"* ]]; then
        pass
    else
        fail "$program -? from the package: status $status, output: $out"
    fi
done

# Where Debian wants the files, and nothing else.
while read -r path; do
    case $path in
    ./usr/bin/ravlog | ./usr/bin/pondrel | ./usr/bin/brimsel) pass ;;
    ./usr/share/man/man1/*.1.gz | ./usr/share/man/man5/*.5.gz) pass ;;
    ./usr/share/doc/ravlog/*) pass ;;
    *) fail "unexpected file in the package: $path" ;;
    esac
done < <(cd "$work/root" && find . -type f | sort)
for page in usr/share/man/man1/ravlog.1.gz usr/share/man/man1/pondrel.1.gz \
    usr/share/man/man1/brimsel.1.gz usr/share/man/man5/ravlog.ctl.5.gz \
    usr/share/doc/ravlog/ravlog.ctl; do
    [ -f "$work/root/$page" ] && pass || fail "$page is not in the package"
done

# Debian's own files: the copyright of the source, and the changelog whose
# newest entry is this version.
doc=$work/root/usr/share/doc/ravlog
[ -f "$doc/copyright" ] && pass || fail "usr/share/doc/ravlog/copyright is not in the package"
if [ -f "$doc/changelog.Debian.gz" ]; then
    expect "changelog's newest entry" "$(gzip -dc "$doc/changelog.Debian.gz" | head -n 1)" \
        "ravlog ($(field Version)) *"
else
    fail "usr/share/doc/ravlog/changelog.Debian.gz is not in the package"
fi
# What the installed documents point to is installed beside them: the
# README's links and picture, the documents the manual pages name.
while read -r target; do
    [ -e "$doc/$target" ] && pass || fail "README.md links $target, which the package lacks"
done < <(grep -o '](\([^)#]*\))' "$doc/README.md" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*:' | sort -u)
for page in "$work"/root/usr/share/man/man*/*.gz; do
    while read -r name; do
        [ -e "$doc/$name" ] && pass || fail "$(basename "$page") names $name, which the package lacks"
    done < <(gzip -dc "$page" | grep -o '^\.I[R]* [a-z]*\.md' | sed 's/^\.I[R]* //' | sort -u)
    if gzip -dc "$page" | grep -q 'docs/'; then fail "$(basename "$page") points into docs/"; else pass; fi
done

# lintian, Debian's package checker: no error, and no warning but these,
# each for its reason.
allowed_warnings=(
    # The package is not uploaded to Debian: there is no ITP bug to close.
    initial-upload-closes-no-bugs
)
if command -v lintian >/dev/null; then
    lintian --no-cfg "$deb" >"$work/lintian.txt" 2>"$work/lintian.err"
    while read -r kind _ tag _; do
        case $kind in
        E:) fail "lintian error: $tag ($(grep -F " $tag" "$work/lintian.txt" | head -n 1))" ;;
        W:)
            if printf '%s\n' "${allowed_warnings[@]}" | grep -qx -- "$tag"; then
                pass
            else
                fail "lintian warning: $tag ($(grep -F " $tag" "$work/lintian.txt" | head -n 1))"
            fi
            ;;
        esac
    done <"$work/lintian.txt"
    grep -q '^[EW]: ' "$work/lintian.txt" || pass
else
    echo "NOTE: lintian is not installed (Debian package lintian); the package is not linted"
fi

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
