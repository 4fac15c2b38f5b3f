#!/usr/bin/env bash
# A private INN 2 news server in its own folder, for tests and benchmarks.
#
#   inn-instance.sh start DIR PORT [--auth USER:PASSWORD] [--groups N] [--tls CERT KEY CAFILE]
#   inn-instance.sh tls-listen DIR PORT [CERT KEY]
#   inn-instance.sh feed DIR_A DIR_B PORT_B
#   inn-instance.sh flush-feed DIR_A
#   inn-instance.sh stop DIR
#
# start writes a complete instance into DIR (which must be reachable for the user news),
# starts innd on 127.0.0.1:PORT, waits for its "200" greeting and prints innd's process id.
# With --auth, reading is open to all but posting needs AUTHINFO USER/PASS. With --groups N,
# N extra groups quorvel.bulk.NNNNNNN are in the active file before innd starts. With --tls,
# the port also offers STARTTLS with that certificate.
# tls-listen starts a reader (nnrpd) speaking TLS from the first byte on 127.0.0.1:PORT beside
# innd, with the instance's certificate or the pair given, and prints its process id.
# feed makes the running instance in DIR_A feed every article it takes to the one in DIR_B
# (port PORT_B) through innfeed, and waits until innfeed holds its connection. The feed comes
# from 127.0.0.2, which B knows as its peer, so readers from 127.0.0.1 stay readers on B.
# flush-feed makes A's innfeed start over at once (and send what it kept back).
# stop shuts innd down by its process id and ends the instance's nnrpd processes; stop a
# feeding instance first (its innfeed ends with it).
#
# innd and nnrpd tell why they refuse or drop a reader only through syslog(3), and nothing
# listens on /dev/log here. With QUORVEL_INN_SYSLOG set to a folder, start preloads a small
# library (built with cc) that appends their syslog lines to DIR/log/syslog, and stop copies
# that file into the folder as INSTANCE.syslog, since the tests remove DIR.
set -euo pipefail

NEWSBIN=/usr/lib/news/bin

die() { echo "inn-instance: $*" >&2; exit 1; }

write_config() {
    local dir=$1 port=$2
    mkdir -p "$dir"/{etc,db,spool/articles,spool/overview,spool/incoming/bad,spool/outgoing,spool/archive,run,log,tmp,http,filter}
    cat >"$dir/etc/inn.conf" <<CONF
domain: localdomain
pathhost: quorvel.test
organization: "Quorvel tests"
server: 127.0.0.1
port: $port
bindaddress: 127.0.0.1
bindaddress6: "::1"
pathnews: /usr/lib/news
pathbin: $NEWSBIN
pathetc: $dir/etc
pathdb: $dir/db
pathrun: $dir/run
pathlog: $dir/log
pathtmp: $dir/tmp
pathspool: $dir/spool
patharticles: $dir/spool/articles
pathoverview: $dir/spool/overview
pathincoming: $dir/spool/incoming
pathoutgoing: $dir/spool/outgoing
patharchive: $dir/spool/archive
pathhttp: $dir/http
pathfilter: $dir/filter
ovmethod: tradindexed
hismethod: hisv6
enableoverview: true
maxartsize: 50000000
localmaxartsize: 50000000
artcutoff: 0
nnrpdloadlimit: 0
status: 0
timer: 0
doinnwatch: false
perlfilter: false
pythonfilter: false
mta: /bin/true
mailcmd: /bin/true
CONF
    echo 'method timehash { newsgroups: * class: 0 }' >"$dir/etc/storage.conf"
    : >"$dir/etc/incoming.conf"
    echo 'ME:*,!junk,!control*/!local::' >"$dir/etc/newsfeeds"
    : >"$dir/etc/expire.ctl"
    : >"$dir/etc/moderators"
}

write_readers() {
    local dir=$1 auth=$2
    local hosts='"127.0.0.1, localhost, ::1, stdin"'
    if [ -z "$auth" ]; then
        cat >"$dir/etc/readers.conf" <<CONF
auth "local" {
    hosts: $hosts
    default: "<localhost>"
}
access "local" {
    users: "<localhost>"
    newsgroups: "*"
    access: RPA
}
CONF
        return
    fi
    local user=${auth%%:*} password=${auth#*:}
    [ -n "$user" ] && [ -n "$password" ] || die "--auth needs USER:PASSWORD"
    printf '%s:%s\n' "$user" "$(openssl passwd -6 "$password")" >"$dir/etc/newsusers"
    cat >"$dir/etc/readers.conf" <<CONF
auth "local" {
    hosts: $hosts
    auth: "ckpasswd -f $dir/etc/newsusers"
    default: "<localhost>"
}
access "anonymous" {
    users: "<localhost>"
    newsgroups: "*"
    access: R
}
access "named" {
    users: "$user"
    newsgroups: "*"
    access: RPA
}
CONF
}

write_database() {
    local dir=$1 groups=$2 created
    # The groups of a fresh instance are a month old, so NEWGROUPS since yesterday lists only
    # groups made later (ctlinnd newgroup).
    created=$(($(date +%s) - 30 * 86400))
    {
        printf '%s 0000000000 0000000001 y\n' control control.cancel control.newgroup \
            control.rmgroup control.checkgroups
        printf 'junk 0000000000 0000000001 n\n'
        printf 'quorvel.test 0000000000 0000000001 y\n'
        if [ "$groups" -gt 0 ]; then
            seq -f 'quorvel.bulk.%07g 0000000000 0000000001 y' 1 "$groups"
        fi
    } >"$dir/db/active"
    awk -v t="$created" '{ print $1, t, "quorvel@localhost" }' "$dir/db/active" >"$dir/db/active.times"
    awk '{ printf "%s\tGroup %s\n", $1, $1 }' "$dir/db/active" >"$dir/db/newsgroups"
    : >"$dir/db/history"
    chown -R news:news "$dir"
    (cd "$dir/db" && su news -s /bin/sh -c "INNCONF=$dir/etc/inn.conf $NEWSBIN/makedbz -i -o -s 10000")
}

# The preloaded syslog(3) of the instance, built into DIR/lib; nothing when not asked for.
build_syslog_shim() {
    local dir=$1
    [ -n "${QUORVEL_INN_SYSLOG:-}" ] || return 0
    mkdir -p "$dir/lib"
    cat >"$dir/lib/syslog.c" <<'C'
#define _GNU_SOURCE
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/time.h>
#include <unistd.h>
static const char* ident = "";
void openlog(const char* id, int option, int facility)
{
    (void)option;
    (void)facility;
    if (id)
        ident = id;
}
void closelog(void) {}
void vsyslog(int priority, const char* format, va_list args)
{
    const char* path = getenv("QUORVEL_INN_SYSLOG_FILE");
    FILE* out = path ? fopen(path, "a") : NULL;
    if (!out)
        return;
    struct timeval now;
    gettimeofday(&now, NULL);
    fprintf(out, "%ld.%06ld %s[%d] <%d> ", (long)now.tv_sec, (long)now.tv_usec, ident,
            (int)getpid(), priority & 7);
    vfprintf(out, format, args);
    fputc('\n', out);
    fclose(out);
}
void syslog(int priority, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsyslog(priority, format, args);
    va_end(args);
}
void __syslog_chk(int priority, int flag, const char* format, ...)
{
    (void)flag;
    va_list args;
    va_start(args, format);
    vsyslog(priority, format, args);
    va_end(args);
}
void __vsyslog_chk(int priority, int flag, const char* format, va_list args)
{
    (void)flag;
    vsyslog(priority, format, args);
}
C
    cc -O2 -shared -fPIC -o "$dir/lib/syslog.so" "$dir/lib/syslog.c" || die "cannot build the syslog library (cc)"
    : >"$dir/log/syslog"
}

wait_greeting() {
    local port=$1 pid=$2 tries=0 line
    while [ $tries -lt 300 ]; do
        kill -0 "$pid" 2>/dev/null || return 1
        if exec 3<>"/dev/tcp/127.0.0.1/$port" 2>/dev/null; then
            if read -r -t 5 line <&3 && [[ $line == 200* ]]; then
                printf 'QUIT\r\n' >&3 || true
                exec 3>&- 3<&-
                return 0
            fi
            exec 3>&- 3<&-
        fi
        sleep 0.1
        tries=$((tries + 1))
    done
    return 1
}

# Installs a certificate and key where nnrpd takes them: owned by news, the key not readable
# by others (nnrpd refuses it otherwise).
install_pair() { # dir cert key name
    mkdir -p "$1/etc/tls"
    install -o news -g news -m 644 "$2" "$1/etc/tls/$4.pem"
    install -o news -g news -m 600 "$3" "$1/etc/tls/$4.key"
}

add_tls() { # dir cert key cafile
    install_pair "$1" "$2" "$3" server
    install -o news -g news -m 644 "$4" "$1/etc/tls/ca.pem"
    cat >>"$1/etc/inn.conf" <<CONF
tlscertfile: $1/etc/tls/server.pem
tlskeyfile: $1/etc/tls/server.key
tlscafile: $1/etc/tls/ca.pem
CONF
}

tls_listen() {
    local dir=$1 port=$2 conf pid
    dir=$(cd "$dir" && pwd)
    conf=$dir/etc/inn.conf
    grep -q '^tlscertfile:' "$conf" || die "start the instance with --tls first"
    if [ $# -eq 4 ]; then
        # nnrpd reads its certificate from inn.conf: another pair needs a copy of it.
        install_pair "$dir" "$3" "$4" "port$port"
        sed -e "s#^tlscertfile:.*#tlscertfile: $dir/etc/tls/port$port.pem#" \
            -e "s#^tlskeyfile:.*#tlskeyfile: $dir/etc/tls/port$port.key#" \
            "$dir/etc/inn.conf" >"$dir/etc/inn-$port.conf"
        chown news:news "$dir/etc/inn-$port.conf"
        conf=$dir/etc/inn-$port.conf
    fi
    # In the foreground of its own session, as news, so that its id is the one we stop.
    setsid setpriv --reuid=news --regid=news --init-groups env INNCONF="$conf" \
        "$NEWSBIN/nnrpd" -D -f -4 127.0.0.1 -p "$port" -S </dev/null >>"$dir/log/nnrpd-$port.out" 2>&1 &
    pid=$!
    echo "$pid" >>"$dir/nnrpd.instance.pids"
    for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || die "nnrpd on port $port ended: $(cat "$dir/log/nnrpd-$port.out")"
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$pid"
            return 0
        fi
        sleep 0.02
    done
    die "nnrpd did not listen on port $port"
}

start() {
    local dir=$1 port=$2 auth="" groups=0 tls=()
    shift 2
    while [ $# -gt 0 ]; do
        case $1 in
            --auth) auth=$2; shift 2 ;;
            --groups) groups=$2; shift 2 ;;
            --tls) tls=("$2" "$3" "$4"); shift 4 ;;
            *) die "unknown option $1" ;;
        esac
    done
    [ -x "$NEWSBIN/innd" ] || die "inn2 is not installed"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    write_config "$dir" "$port"
    write_readers "$dir" "$auth"
    write_database "$dir" "$groups"
    if [ ${#tls[@]} -eq 3 ]; then
        add_tls "$dir" "${tls[@]}"
    fi
    build_syslog_shim "$dir"
    chown -R news:news "$dir"
    local preload=()
    if [ -n "${QUORVEL_INN_SYSLOG:-}" ]; then
        preload=(LD_PRELOAD="$dir/lib/syslog.so" QUORVEL_INN_SYSLOG_FILE="$dir/log/syslog")
    fi
    env "${preload[@]}" INNCONF="$dir/etc/inn.conf" setsid "$NEWSBIN/innd" -f -t 1 </dev/null \
        >"$dir/log/innd.out" 2>&1 &
    local pid=$!
    echo "$pid" >"$dir/innd.instance.pid"
    if ! wait_greeting "$port" "$pid"; then
        kill "$pid" 2>/dev/null || true
        cat "$dir/log/innd.out" >&2 || true
        die "innd did not greet on port $port"
    fi
    echo "$pid"
}

# Process ids of the instance's nnrpd processes (they carry its INNCONF).
instance_readers() {
    local conf=$1 p
    for p in $(pgrep -x nnrpd || true); do
        # The instance's inn.conf, or a listener's copy of it (inn-PORT.conf).
        if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "INNCONF=${conf%.conf}\(-[0-9]*\)\{0,1\}\.conf"; then
            echo "$p"
        fi
    done
}

stop() {
    local dir=$1 pid conf p i
    dir=$(cd "$dir" && pwd)
    conf="$dir/etc/inn.conf"
    if [ -f "$dir/nnrpd.instance.pids" ]; then
        for p in $(cat "$dir/nnrpd.instance.pids"); do
            kill -9 "$p" 2>/dev/null || true
        done
        rm -f "$dir/nnrpd.instance.pids"
    fi
    [ -f "$dir/innd.instance.pid" ] || return 0
    pid=$(cat "$dir/innd.instance.pid")
    if kill -0 "$pid" 2>/dev/null; then
        INNCONF=$conf "$NEWSBIN/ctlinnd" -t 5 shutdown "tests done" >/dev/null 2>&1 || true
        for i in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
    fi
    for p in $(instance_readers "$conf"); do
        kill "$p" 2>/dev/null || true
    done
    rm -f "$dir/innd.instance.pid"
    if [ -n "${QUORVEL_INN_SYSLOG:-}" ] && [ -f "$dir/log/syslog" ]; then
        mkdir -p "$QUORVEL_INN_SYSLOG"
        cp "$dir/log/syslog" "$QUORVEL_INN_SYSLOG/$(basename "$dir").syslog" || true
    fi
}

FeedSource=127.0.0.2

feed() {
    local a b port=$3 i
    a=$(cd "$1" && pwd)
    b=$(cd "$2" && pwd)
    cat >"$b/etc/incoming.conf" <<CONF
peer feeder {
    hostname:   "$FeedSource"
    streaming:  true
}
CONF
    chown news:news "$b/etc/incoming.conf"
    INNCONF=$b/etc/inn.conf "$NEWSBIN/ctlinnd" -t 10 reload incoming.conf "feed" >/dev/null
    cat >"$a/etc/newsfeeds" <<'CONF'
ME:*,!junk,!control*/!local::
innfeed!:!*:Tc,Wnm*:/usr/lib/news/bin/innfeed
feedb:*:Tm:innfeed!
CONF
    # innfeed's defaults wait 2 s before the first connection and 30 s and more after a lost
    # one, and keep back what they spooled meanwhile.
    cat >"$a/etc/innfeed.conf" <<CONF
backlog-directory:      innfeed
initial-sleep:          0
backlog-ckpt-period:    1
backlog-rotate-period:  1
backlog-newfile-period: 1
initial-reconnect-time: 1
max-reconnect-time:     2
peer feedb {
    ip-name:        127.0.0.1
    port-number:    $port
    bindaddress:    $FeedSource
}
CONF
    mkdir -p "$a/spool/innfeed"
    chown -R news:news "$a/etc" "$a/spool/innfeed"
    INNCONF=$a/etc/inn.conf "$NEWSBIN/ctlinnd" -t 10 reload newsfeeds "feed" >/dev/null
    for i in $(seq 1 500); do
        ss -Htn state established src "$FeedSource" dst "127.0.0.1:$port" 2>/dev/null | grep -q . && return 0
        sleep 0.01
    done
    die "innfeed of $a did not connect to port $port"
}

case ${1:-} in
    start) [ $# -ge 3 ] || die "usage: $0 start DIR PORT [--auth USER:PASSWORD] [--groups N]"; shift; start "$@" ;;
    tls-listen) [ $# -eq 3 ] || [ $# -eq 5 ] || die "usage: $0 tls-listen DIR PORT [CERT KEY]"; shift; tls_listen "$@" ;;
    feed) [ $# -eq 4 ] || die "usage: $0 feed DIR_A DIR_B PORT_B"; shift; feed "$@" ;;
    flush-feed) [ $# -eq 2 ] || die "usage: $0 flush-feed DIR_A"; INNCONF=$2/etc/inn.conf "$NEWSBIN/ctlinnd" -t 10 flush 'innfeed!' >/dev/null ;;
    stop) [ $# -eq 2 ] || die "usage: $0 stop DIR"; stop "$2" ;;
    *) die "usage: $0 start DIR PORT [...] | stop DIR" ;;
esac
