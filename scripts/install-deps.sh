#!/usr/bin/env bash
# Installs what building, running and testing Quorvel needs on Debian 12, only when it is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libssl-dev
    libsecret-1-dev gnome-keyring   # passwords in the desktop's keyring; a private one in the tests
    sharutils uudeview          # GNU uuencode/uudecode and uudeview: encoder peers
    inn2 openssl                # the news server the tests post to; password hashes for its logins
    par2                        # par2cmdline: recovery files
    python3                     # the raw-socket peer of the benchmarks
    libxml2-utils               # xmllint: NZB files checked against their DTD
    dbus python3-dbusmock       # a private bus with a fake NetworkManager
    xvfb xauth                  # a display for ./run on a headless machine
    openbox xdotool             # a window manager and a hand for the tests that drive the window
    adwaita-icon-theme          # toolbar and file-type icons where the desktop has no theme
    time                        # /usr/bin/time -v for the benchmarks' peak memory
    clang libfuzzer-14-dev      # the fuzz targets (scripts/fuzz.sh)
    nzbget                      # a downloader that fetches and checks what the tests posted
    microsocks                  # a SOCKS5 proxy the tests post through
    dpkg-dev file               # the Debian package: dpkg-shlibdeps works out its Depends
    lintian appstream desktop-file-utils man-db   # the package's checks
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo=(sudo)
else
    echo "Quorvel needs these Debian packages: ${missing[*]}" >&2
    echo "Install them as root (apt-get install ${missing[*]}) and run this again." >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}" >&2
"${sudo[@]}" apt-get update -qq

# Keep configuration files already on the machine without asking (no terminal here).
dpkg_opts=(-o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold)
"${sudo[@]}" apt-get install -y -qq "${dpkg_opts[@]}" "${missing[@]}" >/dev/null || {
    # inn2's post-install step refuses a host name without a domain. Its inn.conf must be the
    # packaged one (a stub file written before the install lacks every other key); a
    # half-configured inn2 is finished once the domain is in place.
    if [ -f /etc/news/inn.conf.dpkg-dist ] && ! grep -qs '^pathnews:' /etc/news/inn.conf; then
        "${sudo[@]}" cp /etc/news/inn.conf.dpkg-dist /etc/news/inn.conf
    fi
    grep -qs '^domain:' /etc/news/inn.conf || echo 'domain: localdomain' | "${sudo[@]}" tee -a /etc/news/inn.conf >/dev/null
    "${sudo[@]}" dpkg --configure -a --force-confdef --force-confold
    "${sudo[@]}" apt-get install -y -qq "${dpkg_opts[@]}" "${missing[@]}" >/dev/null
}
