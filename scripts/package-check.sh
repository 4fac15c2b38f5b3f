#!/usr/bin/env bash
# Installs the Debian package into a clean Debian 12 and uses it there, as a new user would:
#
#   scripts/package-check.sh [PACKAGE.deb]        (as root; ./package makes the package when
#                                                  none is given)
#
# Builds a minimal Debian 12 root with mmdebstrap (about 25 s, and about 1 GB on disk for the
# root with the package's dependencies), installs the package with apt, runs there
# quorvel-cli --version, quorvel-cli post --help, man -w quorvel-cli, the bash completion of a
# partial command, starts the window offscreen, and posts a file as an ordinary user to a
# private INN news server on loopback (the root shares the machine's network). Then it removes
# the package (purge) and checks that nothing of it is left but the user's own data. Exits
# non-zero on the first failure, naming it. Takes a few minutes; ./test does not run it.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

die() { echo "package-check: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "run it as root (it builds a Debian root and chroots into it)"
command -v mmdebstrap >/dev/null || apt-get install -y -qq mmdebstrap >/dev/null ||
    die "mmdebstrap is missing and could not be installed"

deb=${1:-}
if [ -z "$deb" ]; then
    ./package >/dev/null
    deb=$(ls -t build/package/quorvel_*.deb | head -1)
fi
[ -f "$deb" ] || die "no package at '$deb'"
deb=$(realpath "$deb")

work=$(mktemp -d /var/tmp/quorvel-package-check.XXXXXX)
root=$work/root
inn=
cleanup() {
    [ -n "$inn" ] && "$repo/scripts/inn-instance.sh" stop "$inn" >/dev/null 2>&1 || true
    for m in "$root/dev/pts" "$root/proc"; do
        mountpoint -q "$m" 2>/dev/null && umount "$m"
    done
    if grep -q " $root/" /proc/mounts; then
        echo "package-check: something is still mounted under $root; left in place" >&2
    else
        rm -rf --one-file-system "$work"
    fi
}
trap cleanup EXIT
step() { printf '\n== %s\n' "$*"; }
in_root() { chroot "$root" "$@"; }
as_user() { chroot "$root" runuser -u ann -- env HOME=/home/ann "$@"; }

step "A minimal Debian 12 root (mmdebstrap)"
mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
mirror=${mirror:-http://deb.debian.org/debian}
start=$SECONDS
mmdebstrap --quiet --variant=minbase bookworm "$root" "deb $mirror bookworm main"
echo "made in $((SECONDS - start)) s"
mount -t proc proc "$root/proc"
mount -t devpts devpts "$root/dev/pts" -o newinstance,ptmxmode=0666

step "apt install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
start=$SECONDS
in_root apt-get update -qq
# man-db and bash-completion are what a desktop system has; the package needs neither.
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y -qq "/tmp/$(basename "$deb")" \
    man-db bash-completion >/dev/null
echo "installed in $((SECONDS - start)) s"
in_root dpkg -s quorvel | grep -E '^(Status|Version|Depends|Recommends):'

step "The programs, the manual page and the completion"
in_root quorvel-cli --version
in_root quorvel-cli post --help | head -3
in_root quorvel-uucode --help | head -1
page=$(in_root man -w quorvel-cli)
echo "man -w quorvel-cli: $page"
[ "$page" = /usr/share/man/man1/quorvel-cli.1.gz ] || die "man -w quorvel-cli gave '$page'"
completed=$(in_root bash -c 'source /usr/share/bash-completion/completions/quorvel-cli
    COMP_WORDS=(quorvel-cli groups su); COMP_CWORD=2; _quorvel_cli; echo "${COMPREPLY[*]}"')
echo "quorvel-cli groups su<Tab> -> $completed"
[ "$completed" = subscribe ] || die "the completion gave '$completed', not 'subscribe'"
for f in /usr/share/applications/io.github.quorvel.Quorvel.desktop \
    /usr/share/metainfo/io.github.quorvel.Quorvel.metainfo.xml \
    /usr/share/icons/hicolor/48x48/apps/quorvel.png /usr/lib/systemd/user/quorvel-watch@.service; do
    [ -f "$root$f" ] || die "$f is not installed"
done
in_root env QT_QPA_PLATFORM=offscreen QUORVEL_KEYRING=off quorvel --quit-after-start ||
    die "the window did not start"
echo "the window started and closed (offscreen)"

step "A post as an ordinary user to INN on loopback"
[ -x /usr/lib/news/bin/innd ] || die "inn2 is not installed on this machine (scripts/install-deps.sh)"
inn=$(mktemp -d /tmp/qvinn-pkg.XXXXXX)
chown news:news "$inn"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
scripts/inn-instance.sh start "$inn" "$port" >/dev/null
in_root useradd --create-home --shell /bin/bash ann
as_user sh -c 'head -c 200000 /dev/urandom > /home/ann/photo.jpg'
as_user quorvel-cli profile set Host "127.0.0.1:$port" >/dev/null
as_user quorvel-cli profile set EmailAddress ann@example.org >/dev/null
as_user env QUORVEL_KEYRING=off quorvel-cli post --group quorvel.test --subject "Clean root" \
    --lines 1000 /home/ann/photo.jpg | tee "$work/post.out"
grep -q '^NZB: /home/ann/.local/share/Brindlecove Software/Quorvel/nzb/' "$work/post.out" ||
    die "the NZB file is not in the user's data folder"
# The watch posts what lands in a folder, and stops on SIGTERM.
as_user mkdir -p /home/ann/Uploads
as_user sh -c 'head -c 30000 /dev/urandom > /home/ann/Uploads/dropped.bin'
status=0
as_user env QUORVEL_KEYRING=off timeout --preserve-status -s TERM 20 quorvel-cli watch /home/ann/Uploads \
    --group quorvel.test --settle 1 >"$work/watch.out" 2>&1 || status=$?
grep -E '^(Watching|Posted) ' "$work/watch.out"
[ "$status" -eq 130 ] || die "watch ended with status $status, not 130 (SIGTERM)"
[ -f "$root/home/ann/Uploads/posted/dropped.bin" ] || die "watch did not post dropped.bin"
# As root too: an installed program never writes beside itself.
in_root quorvel-cli profile list >/dev/null
ls "$root/usr/bin" | grep -v '^quorvel' | grep -q . # /usr/bin is still there
for f in quorvel.log qvsession.log qvtasks.qv newsrc.Default; do
    [ ! -e "$root/usr/bin/$f" ] || die "$f was written into /usr/bin"
done
[ -d "$root/root/.local/share/Brindlecove Software/Quorvel" ] ||
    die "root's data folder was not used"
echo "data in ~/.local/share/Brindlecove Software/Quorvel, nothing in /usr/bin"

step "apt purge quorvel"
DEBIAN_FRONTEND=noninteractive in_root apt-get purge -y -qq quorvel >/dev/null
in_root dpkg -s quorvel >/dev/null 2>&1 && die "quorvel is still installed"
left=$(cd "$root" && find . -xdev -iname '*quorvel*' -not -path './home/*' -not -path './root/*' \
    -not -path './tmp/*' -not -path './proc/*' | sort)
[ -z "$left" ] || die "left after purge: $left"
echo "left after purge, the users' data only:"
(cd "$root" && find ./home/ann ./root -maxdepth 4 -iname '*quorvel*' | sort)
step "Package check passed"
