#!/usr/bin/env bash
# The Debian package as the distribution checks it: CPack builds it from the programs already
# built, then lintian (no error, no warning that is not overridden with a reason),
# desktop-file-validate, appstreamcli, man (every page renders without a warning) and
# dpkg-deb --contents (everything an installed copy needs is in it). The manual page of
# quorvel-cli must name every command, option and exit status the program knows, and the
# bash completion must complete a partial command. Exit 77 (skipped) when a tool is missing.
# Usage: package_check.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli man; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
}
deb=$(ls "$work"/out/quorvel_*.deb)
echo "built $(basename "$deb")"

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/quorvel /usr/bin/quorvel-cli /usr/bin/quorvel-uucode \
    /usr/share/applications/io.github.quorvel.Quorvel.desktop \
    /usr/share/metainfo/io.github.quorvel.Quorvel.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/quorvel.svg \
    /usr/share/icons/hicolor/48x48/apps/quorvel.png \
    /usr/share/icons/hicolor/256x256/apps/quorvel.png \
    /usr/share/quorvel/help/Quorvel.html \
    /usr/share/man/man1/quorvel.1.gz /usr/share/man/man1/quorvel-cli.1.gz \
    /usr/share/man/man1/quorvel-uucode.1.gz \
    /usr/share/bash-completion/completions/quorvel-cli \
    /usr/lib/systemd/user/quorvel-watch@.service \
    /usr/share/doc/quorvel/copyright /usr/share/doc/quorvel/changelog.Debian.gz; do
    grep -qxF "$path" "$work/contents" || fail "$path is not in the package"
done
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libssl3 libsecret-1-0; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib (dpkg-shlibdeps)"
done
[[ $(dpkg-deb --field "$deb" Recommends) == *par2* ]] || fail "par2 is not recommended"

# lintian runs as root here; it says so on standard error.
if ! lintian --fail-on error,warning --no-tag-display-limit "$deb" 2>/dev/null; then
    fail "lintian"
fi

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli validate"; }
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$page" 2>&1 >/dev/null) || true
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The manual page keeps up with the program: every command, option and exit status.
cli="$build/quorvel-cli"
man_text="$work/quorvel-cli.1"
zcat "$work/root/usr/share/man/man1/quorvel-cli.1.gz" | sed 's/\\-/-/g' >"$man_text"
export QUORVEL_SETTINGS="$work/settings.ini" QUORVEL_HOME="$work/home"
while read -r area; do
    subs=$("$cli" --complete 1 "$area" "")
    if [ -z "$subs" ]; then
        grep -q "^\.SS \"$area " "$man_text" || fail "the manual page lacks the command '$area'"
    fi
    for sub in $subs; do
        grep -q "^\.SS \"$area $sub" "$man_text" || fail "the manual page lacks '$area $sub'"
    done
    for sub in ${subs:-""}; do
        if [ -n "$sub" ]; then
            options=$("$cli" --complete 2 "$area" "$sub" "--")
        else
            options=$("$cli" --complete 1 "$area" "--")
        fi
        for option in $options; do
            grep -qe "$option" "$man_text" || fail "the manual page lacks $option ($area $sub)"
        done
    done
done < <("$cli" --complete 0 "")
for status in $("$cli" --help | sed -n '/^Exit status:/,$p' | awk '/^  [0-9]/{print $1}'); do
    grep -qx "\.B $status" "$man_text" || fail "the manual page lacks exit status $status"
done

# The completion script, as bash runs it on Tab.
completion=$(COMP_WORDS=("$cli" "pro") COMP_CWORD=1 bash -c '
    source "$1"; COMP_WORDS=("$2" pro); COMP_CWORD=1; _quorvel_cli; echo "${COMPREPLY[*]}"' \
    _ "$work/root/usr/share/bash-completion/completions/quorvel-cli" "$cli")
[ "$completion" = "profile" ] || fail "completing 'pro' gave '$completion', not 'profile'"

[ -e "$QUORVEL_SETTINGS" ] && fail "completing wrote a settings file"
[ $failed -eq 0 ] && echo "package checks passed"
exit $failed
