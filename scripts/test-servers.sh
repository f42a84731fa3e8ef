#!/usr/bin/env bash
# Real servers on 127.0.0.1 for the checks' tests: nginx (HTTP/HTTPS), an HTTP proxy
# (tinyproxy), a SOCKS 4/5 proxy (danted), a UDP echo, snmpd,
# dnsmasq, MariaDB, PostgreSQL, two sshd, three vsftpd, dovecot (POP3/IMAP) and an SMTP
# server. Ports and credentials: scripts/test-servers.env.
#
#   test-servers.sh start    stop any earlier instances, then start all and wait until each answers
#   test-servers.sh stop     stop every recorded server by its pid (also after a partial start)
#   test-servers.sh status   show each server; exit 0 only when all run
#   test-servers.sh clean    stop, then delete the folder
#
# Needs root; no systemd. Everything lives in $ZAM_TEST_SERVERS_DIR (default
# /tmp/corvane-test-servers): configuration, data, logs, certificates and pids. Outside it
# the script only creates the Unix user of the tests, its home, the PAM service file
# /etc/pam.d/corvane-test-ftp and /run/sshd; it never edits a system server's files.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=test-servers.env
. "$here/test-servers.env"

ROOT=${ZAM_TEST_SERVERS_DIR:-$ZAM_TS_DEFAULT_DIR}
H=$ZAM_TS_HOST
U=$ZAM_TS_USER
PW=$ZAM_TS_PASSWORD
PIDS=$ROOT/pids
LOGS=$ROOT/logs
C=$ROOT/certs
MARKER=$ROOT/.corvane-test-servers
ABORT=$ROOT/aborting   # present while an interrupted start winds down
READY_TIMEOUT=${ZAM_TEST_SERVERS_TIMEOUT:-60}   # seconds per server
PAM_FTP=corvane-test-ftp

# Every pid file this script writes, in start order (also the order of `status`).
SERVERS=(nginx tinyproxy danted udp-echo snmpd snmpd-fixture dnsmasq mariadb postgres sshd sshd-kbdint smtp
         vsftpd vsftpd-implicit vsftpd-notls dovecot)

die() { echo "test-servers: $*" >&2; exit 1; }
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

# ---------- processes: a pid file holds "pid start-time" so a reused pid is never killed ----------
proc_start() { # pid -> start time in clock ticks (field 22 of /proc/pid/stat)
  local s
  s=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  s=${s##*) }                       # the command name may hold blanks: cut after ") "
  # shellcheck disable=SC2086  # split into fields on purpose
  set -- $s
  echo "${20}"
}
proc_alive() { # pid [start-time]: exists, is not a zombie and (when given) started then
  local st
  st=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [ -n "$st" ] && [ "${st#Z}" = "$st" ] || return 1
  [ -z "${2:-}" ] || [ "$(proc_start "$1")" = "$2" ]
}
record_pid() { # name pid
  echo "$2 $(proc_start "$2")" > "$PIDS/$1.pid"
}
boot_id() { cat /proc/sys/kernel/random/boot_id; }
group_alive() { # pgid: some member is not a zombie (zombies wait for pid 1 to reap them)
  local m
  for m in $(pgrep -g "$1" 2>/dev/null); do
    proc_alive "$m" && return 0
  done
  return 1
}
read_pid() { # name -> "pid start", or fails
  local f=$PIDS/$1.pid
  [ -s "$f" ] || return 1
  cat "$f"
}
server_alive() { # name
  local rec
  rec=$(read_pid "$1") || return 1
  # shellcheck disable=SC2086
  proc_alive $rec
}
# Run a daemon in its own session (so a terminal's or the test runner's signals do not reach it,
# and its children can be found by process group), with stdio detached from the caller.
launch() { # name log command...
  local name=$1 log=$2
  shift 2
  setsid "$@" </dev/null >"$log" 2>&1 &
  record_pid "$name" $!
}

# ---------- waiting ----------
tcp_open() { timeout 2 bash -c "exec 3<>/dev/tcp/$H/$1" 2>/dev/null; }
# wait_for name description command...: poll every 0.1 s until the command succeeds; give up
# after READY_TIMEOUT or as soon as the server's process has gone.
wait_for() {
  local name=$1 what=$2 deadline
  shift 2
  deadline=$(( $(date +%s) + READY_TIMEOUT ))
  while ! "$@" >/dev/null 2>&1; do
    if [ -e "$ABORT" ]; then
      echo "$name: start interrupted" >&2
      return 1
    fi
    if [ -n "$name" ] && ! server_alive "$name"; then
      echo "$name exited while waiting for $what" >&2
      return 1
    fi
    if [ "$(date +%s)" -ge "$deadline" ]; then
      echo "$name: $what not ready after ${READY_TIMEOUT}s" >&2
      return 1
    fi
    sleep 0.1
  done
}
all_tcp_open() { local p; for p in "$@"; do tcp_open "$p" || return 1; done; }

port_busy() { # tcp|udp port
  local flag=-Hltn
  [ "$1" = udp ] && flag=-Hlun
  [ -n "$(ss "$flag" "( sport = :$2 )" 2>/dev/null)" ]
}

# ---------- shared: the test user, certificates ----------
prepare_user() {
  id "$U" >/dev/null 2>&1 || useradd -m -s /bin/bash "$U"
  echo "$U:$PW" | chpasswd
  local home
  home=$(getent passwd "$U" | cut -d: -f6)
  [ -f "$home/zamtest-hello.txt" ] || echo "hello from the corvane test user" > "$home/zamtest-hello.txt"
  chown "$U:" "$home/zamtest-hello.txt"
  # own PAM service for vsftpd: Debian's makes every failed login wait about 2.5 s
  printf 'auth required pam_unix.so nodelay\naccount required pam_unix.so\nsession required pam_unix.so\n' \
    > "/etc/pam.d/$PAM_FTP"
}

prepare_certs() {
  [ -f "$C/expired.crt" ] && return 0
  rm -rf "$C.tmp"
  mkdir -p "$C.tmp"
  (
    cd "$C.tmp"
    san="subjectAltName=DNS:localhost,IP:127.0.0.1"
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Corvane Test CA" \
      -keyout ca.key -out ca.crt
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server.key -out server.csr
    printf '%s\nextendedKeyUsage=serverAuth\n' "$san" > server.ext
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 3650 \
      -extfile server.ext -out server.crt
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=localhost" -addext "$san" \
      -keyout selfsigned.key -out selfsigned.crt
    # 'x509 -days' cannot date a certificate in the past; 'ca -startdate/-enddate' can
    mkdir db
    : > db/index.txt
    echo 1000 > db/serial
    printf '[ca]\ndefault_ca=c\n[c]\ndatabase=db/index.txt\nnew_certs_dir=db\nserial=db/serial\ndefault_md=sha256\npolicy=p\ncopy_extensions=copy\n[p]\ncommonName=supplied\n' > ca.cnf
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -addext "$san" \
      -keyout expired.key -out expired.csr
    openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key \
      -startdate 20200101000000Z -enddate 20210101000000Z -in expired.csr -out expired.crt
    chmod 644 ./*.crt ./*.key
  ) > "$LOGS/certs.log" 2>&1 || { cat "$LOGS/certs.log" >&2; return 1; }
  mv "$C.tmp" "$C"
}

# ---------- nginx: HTTP, HTTPS (CA-signed), HTTPS self-signed, HTTPS expired ----------
start_nginx() {
  local N=$ROOT/nginx
  mkdir -p "$N/www/secure" "$N/tmp" "$N/logs"
  printf '<html><head><title>Corvane test page</title></head><body><h1>Corvane test page</h1><p>zam-content-marker</p></body></html>\n' > "$N/www/index.html"
  echo 'secret area' > "$N/www/secure/index.html"
  [ -f "$N/www/blob.bin" ] || head -c 200000 /dev/urandom > "$N/www/blob.bin"
  echo "$U:$(openssl passwd -apr1 "$PW")" > "$N/htpasswd"
  chmod -R a+rX "$N/www"
  chmod 644 "$N/htpasswd"
  cat > "$N/nginx.conf" <<EOF
load_module /usr/lib/nginx/modules/ngx_http_echo_module.so;
worker_processes 1;
pid $N/nginx.pid;
error_log $N/logs/error.log warn;
events { worker_connections 256; }
http {
  access_log $N/logs/access.log;
  client_body_temp_path $N/tmp/body;
  proxy_temp_path $N/tmp/proxy;
  fastcgi_temp_path $N/tmp/fastcgi;
  uwsgi_temp_path $N/tmp/uwsgi;
  scgi_temp_path $N/tmp/scgi;
  default_type application/octet-stream;
  types { text/html html; text/plain txt; }
  server {
    listen $H:$ZAM_TS_HTTP_PORT;
    listen $H:$ZAM_TS_HTTPS_PORT ssl http2;
    ssl_certificate $C/server.crt;
    ssl_certificate_key $C/server.key;
    root $N/www;
    location = /error         { return 500 "error page\n"; }
    location = /redirect      { return 302 /index.html; }
    location = /redirect-loop { return 302 /redirect-loop; }
    # headers only after 5 s
    location = /slow          { echo_sleep 5; echo "slow page"; }
    # body at 1 kB/s (200 kB)
    location = /slow-body     { limit_rate 1k; alias $N/www/blob.bin; }
    # answers any method with the request body
    location = /echo          { echo_read_request_body; echo_request_body; }
    location /secure/         { auth_basic "corvane test"; auth_basic_user_file $N/htpasswd; }
  }
  server {
    listen $H:$ZAM_TS_HTTPS_SELFSIGNED_PORT ssl;
    ssl_certificate $C/selfsigned.crt;
    ssl_certificate_key $C/selfsigned.key;
    root $N/www;
  }
  server {
    listen $H:$ZAM_TS_HTTPS_EXPIRED_PORT ssl;
    ssl_certificate $C/expired.crt;
    ssl_certificate_key $C/expired.key;
    root $N/www;
  }
}
EOF
  launch nginx "$LOGS/nginx.log" nginx -p "$N/" -e "$N/logs/error.log" -c "$N/nginx.conf" -g 'daemon off;'
  wait_for nginx "HTTP and HTTPS ports" all_tcp_open "$ZAM_TS_HTTP_PORT" "$ZAM_TS_HTTPS_PORT" \
    "$ZAM_TS_HTTPS_SELFSIGNED_PORT" "$ZAM_TS_HTTPS_EXPIRED_PORT"
}

# ---------- proxies: HTTP with basic login (tinyproxy), SOCKS 4 and 5 (danted) ----------
start_tinyproxy() {
  local P=$ROOT/tinyproxy
  mkdir -p "$P"
  cat > "$P/tinyproxy.conf" <<EOF
User nobody
Group nogroup
Port $ZAM_TS_HTTP_PROXY_PORT
Listen $H
Timeout 60
MaxClients 64
Allow 127.0.0.0/8
BasicAuth $U $PW
LogLevel Info
EOF
  launch tinyproxy "$LOGS/tinyproxy.log" tinyproxy -d -c "$P/tinyproxy.conf"
  wait_for tinyproxy "proxy port" tcp_open "$ZAM_TS_HTTP_PROXY_PORT"
}

start_danted() {
  local D=$ROOT/danted
  mkdir -p "$D"
  # SOCKS 5 clients that offer a login must give the test user's (checked against the system
  # password file); clients without one, and SOCKS 4, get through without.
  cat > "$D/danted.conf" <<EOF
logoutput: stderr
internal: $H port = $ZAM_TS_SOCKS_PORT
external: $H
clientmethod: none
socksmethod: username none
user.privileged: root
user.unprivileged: nobody
client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }
socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 }
EOF
  launch danted "$LOGS/danted.log" danted -f "$D/danted.conf" -p "$D/danted.pid"
  wait_for danted "SOCKS port" tcp_open "$ZAM_TS_SOCKS_PORT"
}

# ---------- UDP echo ----------
udp_echo_ok() {
  [ "$(printf 'zam-ping' | timeout 2 socat -T 1 - "UDP4:$H:$ZAM_TS_UDP_ECHO_PORT" 2>/dev/null)" = zam-ping ]
}
start_udp_echo() {
  # one child per datagram; -T ends a child after 2 s without traffic
  launch udp-echo "$LOGS/udp-echo.log" socat -T 2 "UDP4-RECVFROM:$ZAM_TS_UDP_ECHO_PORT,bind=$H,reuseaddr,fork" PIPE
  wait_for udp-echo "UDP port" port_busy udp "$ZAM_TS_UDP_ECHO_PORT"
  wait_for udp-echo "UDP echo" udp_echo_ok
}

# ---------- snmpd: v1/v2c communities, v3 users ----------
start_snmpd() {
  local S=$ROOT/snmpd a=$ZAM_TS_SNMP_V3_AUTH_PASSWORD p=$ZAM_TS_SNMP_V3_PRIV_PASSWORD
  mkdir -p "$S/persist"
  echo 'mibs :' > "$S/snmp.conf"   # Debian main ships no IETF MIB files: numeric OIDs only
  cat > "$S/snmpd.conf" <<EOF
agentAddress udp:$H:$ZAM_TS_SNMP_PORT
view all included .1
rocommunity $ZAM_TS_SNMP_COMMUNITY $H -V all
rwcommunity $ZAM_TS_SNMP_RW_COMMUNITY $H -V all
createUser $ZAM_TS_SNMP_V3_USER $ZAM_TS_SNMP_V3_AUTH_PROTOCOL "$a" $ZAM_TS_SNMP_V3_PRIV_PROTOCOL "$p"
createUser $ZAM_TS_SNMP_V3_BADPASS_USER $ZAM_TS_SNMP_V3_AUTH_PROTOCOL "$a" $ZAM_TS_SNMP_V3_PRIV_PROTOCOL "$p"
createUser $ZAM_TS_SNMP_V3_MD5_DES_USER MD5 "$a" DES "$p"
createUser $ZAM_TS_SNMP_V3_AUTHNOPRIV_USER SHA "$a"
createUser $ZAM_TS_SNMP_V3_NOAUTH_USER
rouser $ZAM_TS_SNMP_V3_USER priv -V all
rouser $ZAM_TS_SNMP_V3_BADPASS_USER priv -V all
rouser $ZAM_TS_SNMP_V3_MD5_DES_USER priv -V all
rouser $ZAM_TS_SNMP_V3_AUTHNOPRIV_USER auth -V all
rouser $ZAM_TS_SNMP_V3_NOAUTH_USER noauth -V all
sysName $ZAM_TS_SNMP_SYSNAME
sysLocation $ZAM_TS_SNMP_SYSLOCATION
sysContact test@zam.test
disk /
includeAllDisks 10%
# Fixture values under a private subtree: Gauge32 at its maximum, two integers for the
# percentage preset, a number as text, an enumerated integer (tests/checks/data/ZAM-TEST-MIB.txt),
# a text that tests change with a SET, and Counter64 values served by a pass script.
override $ZAM_TS_SNMP_FIXTURE_OID.1.1.0 uinteger 4294967295
override $ZAM_TS_SNMP_FIXTURE_OID.1.2.0 integer 50
override $ZAM_TS_SNMP_FIXTURE_OID.1.3.0 integer 200
override $ZAM_TS_SNMP_FIXTURE_OID.1.4.0 octet_str "42.5"
override $ZAM_TS_SNMP_FIXTURE_OID.1.5.0 integer 2
override -rw $ZAM_TS_SNMP_FIXTURE_OID.1.6.0 octet_str "first"
override $ZAM_TS_SNMP_FIXTURE_OID.1.7.0 octet_str "plain text"
pass $ZAM_TS_SNMP_FIXTURE_OID.2 /bin/sh $S/counters.sh
EOF
  # pass protocol: "-g OID" or "-n OID" (a SET, "-s", is refused); prints OID, type, value.
  echo "base=$ZAM_TS_SNMP_FIXTURE_OID.2" > "$S/counters.sh"
  cat >> "$S/counters.sh" <<'EOF'
value() {
  case "$1" in
    1) echo counter64; echo 9223372036854775807 ;;
    2) echo counter64; echo 18446744073709551615 ;;
    3) echo counter64; echo 9007199254740993 ;;
    4) echo counter; echo $(( $(date +%s) % 4294967296 )) ;;
  esac
}
[ "$1" = -s ] && { echo not-writable; exit 0; }
rest=${2#"$base"}
case "$1" in
  -g) case "$rest" in .[1-4].0) echo "$2"; n=${rest#.}; value "${n%.0}" ;; esac ;;
  -n) case "$rest" in
        ""|.) next=1 ;;
        .[1-4]) next=${rest#.} ;;
        .[1-3].*) n=${rest#.}; next=$(( ${n%%.*} + 1 )) ;;
        *) next= ;;
      esac
      [ -n "$next" ] && { echo "$base.$next.0"; value "$next"; } ;;
esac
exit 0
EOF
  # SNMPCONFPATH: read only this folder, never /etc/snmp
  launch snmpd "$LOGS/snmpd.log" env SNMPCONFPATH="$S" SNMP_PERSISTENT_DIR="$S/persist" \
    snmpd -f -Lf "$S/snmpd.log"
  wait_for snmpd "SNMP v2c get" env SNMPCONFPATH="$S" snmpget -v2c -c "$ZAM_TS_SNMP_COMMUNITY" \
    -t 0.3 -r 0 "$H:$ZAM_TS_SNMP_PORT" .1.3.6.1.2.1.1.5.0
}

# ---------- snmpd fixture: fixed host-resource figures ----------
# Without its processor, CPU-statistics, storage and file-system modules, so the override
# lines below are the agent's whole processor load, ssCpu* and hrStorage; the process table is
# the real one. Each community sees the same agent through another view. -Dresults logs every
# answered variable, so tests can count the agent's requests.
start_snmpd_fixture() {
  local S=$ROOT/snmpd-fixture st=.1.3.6.1.2.1.25.2.3.1 ucd=.1.3.6.1.4.1.2021
  mkdir -p "$S/persist"
  echo 'mibs :' > "$S/snmp.conf"
  cat > "$S/snmpd.conf" <<EOF
agentAddress udp:$H:$ZAM_TS_SNMP_FIXTURE_PORT
view all included .1
view all excluded $st.1.99
view nohr included .1
view nohr excluded .1.3.6.1.2.1.25
view nohr excluded $ucd.9
view nohr excluded $ucd.11.9
view noswap included .1
view noswap excluded $st.1.99
view noswap excluded $st.3.10
view badhr included .1
view ucddisk included .1
view ucddisk excluded .1.3.6.1.2.1.25
rocommunity $ZAM_TS_SNMP_FIX_COMMUNITY $H -V all
rocommunity $ZAM_TS_SNMP_FIX_NOHR_COMMUNITY $H -V nohr
rocommunity $ZAM_TS_SNMP_FIX_NOSWAP_COMMUNITY $H -V noswap
rocommunity $ZAM_TS_SNMP_FIX_BADHR_COMMUNITY $H -V badhr
rocommunity $ZAM_TS_SNMP_FIX_UCDDISK_COMMUNITY $H -V ucddisk
rocommunity $ZAM_TS_SNMP_FIX_CACHE_COMMUNITY $H -V all
rwcommunity $ZAM_TS_SNMP_FIX_RW_COMMUNITY $H -V renamable
view renamable included $st.3.32
view renamable included .1.3.6.1.4.1.8072.1.5.3.1.2.1.3.6.1.2.1.25.4.2
disk /
override .1.3.6.1.2.1.25.3.3.1.2.196608 integer 10
override .1.3.6.1.2.1.25.3.3.1.2.196609 integer 20
override .1.3.6.1.2.1.25.3.3.1.2.196610 integer 30
override .1.3.6.1.2.1.25.3.3.1.2.196611 integer 41
override $ucd.11.11.0 integer 93
override $ucd.11.9.0 integer 4
override $ucd.11.10.0 integer 3
override $ucd.11.7.0 integer 1234
override $ucd.11.8.0 integer 5678
override $ucd.4.5.0 integer 2048000
override $ucd.4.6.0 integer 512000
EOF
  # Traffic counters that tests drive: ifIndex 1001 has the 32-bit and the 64-bit octet
  # counters, 1002 the 32-bit ones until a test writes 64-bit values for it. A pass script
  # answers each from the file traffic/<OID> ("counter" or "counter64", then the value); a
  # missing file is no value. snmpd keeps a pass answer about 1 s, so a test waits for its new
  # value. sysUpTime is a fixed value that tests set through the read-write community.
  mkdir -p "$S/traffic"
  cat > "$S/traffic.sh" <<EOF
[ "\$1" = -g ] || exit 0
f="$S/traffic/\$2"
[ -f "\$f" ] && { echo "\$2"; cat "\$f"; }
exit 0
EOF
  { echo "override -rw .1.3.6.1.2.1.1.3.0 timeticks 100000"
    echo "view renamable included .1.3.6.1.2.1.1.3.0"
    for i in 1001 1002; do
      for c in .1.3.6.1.2.1.2.2.1.10 .1.3.6.1.2.1.2.2.1.16 .1.3.6.1.2.1.31.1.1.1.6 .1.3.6.1.2.1.31.1.1.1.10; do
        echo "pass $c.$i /bin/sh $S/traffic.sh"
      done
    done; } >> "$S/snmpd.conf"
  # hrStorage rows: index, description (_ for a blank), units, size, used. Row 0 must be
  # dropped; row 99 has a Counter32 where an integer belongs and only the "badhr" view sees it;
  # tests rename row 32 through the read-write community to move a disk away.
  local i d u sz us
  while read -r i d u sz us; do
    { echo "override $st.1.$i integer $i"
      if [ "$i" = 32 ]; then echo "override -rw $st.3.$i octet_str \"${d//_/ }\""
      else echo "override $st.3.$i octet_str \"${d//_/ }\""; fi
      if [ "$i" = 99 ]; then echo "override $st.4.$i counter $u"; else echo "override $st.4.$i integer $u"; fi
      echo "override $st.5.$i integer $sz"
      echo "override $st.6.$i integer $us"; } >> "$S/snmpd.conf"
  done <<'ROWS'
0 /zero 4096 100 10
1 Physical_memory 1024 8388608 2097152
3 Virtual_memory 1024 12582912 3145728
6 Memory_buffers 1024 1000 10
10 Swap_space 1024 4194304 1048576
31 / 4096 4000 1000
32 /boot 1024 1048576 262144
40 C:\\_Label:System__Serial_Number_1234 4096 2000 500
99 /broken 4096 7 1
ROWS
  launch snmpd-fixture "$LOGS/snmpd-fixture.log" env SNMPCONFPATH="$S" SNMP_PERSISTENT_DIR="$S/persist" \
    snmpd -f -Lf "$S/snmpd.log" -I -hr_proc,vmstat,hrh_storage,hrh_filesys -Dresults
  wait_for snmpd-fixture "SNMP v2c get" env SNMPCONFPATH="$S" snmpget -v2c -c "$ZAM_TS_SNMP_FIX_COMMUNITY" \
    -t 0.3 -r 0 "$H:$ZAM_TS_SNMP_FIXTURE_PORT" .1.3.6.1.2.1.25.3.3.1.2.196608
  # The process table is kept 30 s by default: 1 s, so CPU times move between two test reads.
  env SNMPCONFPATH="$S" snmpset -v2c -c "$ZAM_TS_SNMP_FIX_RW_COMMUNITY" -t 1 -r 2 "$H:$ZAM_TS_SNMP_FIXTURE_PORT" \
    .1.3.6.1.4.1.8072.1.5.3.1.2.1.3.6.1.2.1.25.4.2 i 1 >/dev/null
}

# ---------- dnsmasq: authoritative for the test zone and the root ----------
dns_ok() {
  dig +time=1 +tries=1 -p "$ZAM_TS_DNS_PORT" "@$H" "$ZAM_TS_DNS_A_NAME" A +short | grep -qx "$ZAM_TS_DNS_A_ADDRESS"
}
start_dnsmasq() {
  local D=$ROOT/dnsmasq z=$ZAM_TS_DNS_ZONE
  mkdir -p "$D"
  cat > "$D/dnsmasq.conf" <<EOF
port=$ZAM_TS_DNS_PORT
listen-address=$H
bind-interfaces
no-resolv
no-hosts
no-poll
keep-in-foreground
pid-file=$D/dnsmasq.pid
log-facility=$D/dnsmasq.log
log-queries
auth-server=ns1.$z,$H
auth-zone=$z
auth-zone=.
auth-soa=$ZAM_TS_DNS_SOA_SERIAL,hostmaster.$z
auth-ttl=300
local-ttl=300
host-record=ns1.$z,$H
host-record=$ZAM_TS_DNS_A_NAME,$ZAM_TS_DNS_A_ADDRESS,$ZAM_TS_DNS_AAAA_ADDRESS
host-record=$ZAM_TS_DNS_PAIR_NAME,$ZAM_TS_DNS_PAIR_ADDRESS2
host-record=$ZAM_TS_DNS_PAIR_NAME,$ZAM_TS_DNS_PAIR_ADDRESS1
host-record=$ZAM_TS_DNS_MX_HOST,$ZAM_TS_DNS_MX_ADDRESS
host-record=$ZAM_TS_DNS_MX_HOST2,$ZAM_TS_DNS_MX_ADDRESS2
mx-host=$z,$ZAM_TS_DNS_MX_HOST,$ZAM_TS_DNS_MX_PREF
mx-host=$z,$ZAM_TS_DNS_MX_HOST2,$ZAM_TS_DNS_MX_PREF2
cname=$ZAM_TS_DNS_CNAME_NAME,$ZAM_TS_DNS_A_NAME
txt-record=$z,$ZAM_TS_DNS_TXT
EOF
  launch dnsmasq "$LOGS/dnsmasq.log" dnsmasq -C "$D/dnsmasq.conf"
  wait_for dnsmasq "DNS answer" dns_ok
}

# ---------- MariaDB ----------
start_mariadb() {
  local M=$ROOT/mariadb
  mkdir -p "$M"
  cat > "$M/my.cnf" <<EOF
[mariadbd]
datadir=$M/data
socket=$M/mysqld.sock
pid-file=$M/mysqld.pid
log-error=$M/error.log
bind-address=$H
port=$ZAM_TS_MYSQL_PORT
user=mysql
skip-name-resolve
innodb_buffer_pool_size=32M
performance_schema=OFF
ssl-ca=$M/ca.crt
ssl-cert=$M/server.crt
ssl-key=$M/server.key
EOF
  cp "$C/ca.crt" "$C/server.crt" "$C/server.key" "$M/"
  chmod 600 "$M/server.key"
  chown -R mysql:mysql "$M"
  if [ ! -d "$M/data/mysql" ]; then
    rm -rf "$M/data"
    mariadb-install-db --defaults-file="$M/my.cnf" --auth-root-authentication-method=socket \
      --skip-test-db > "$LOGS/mariadb-install.log" 2>&1
  fi
  launch mariadb "$LOGS/mariadb.log" mariadbd --defaults-file="$M/my.cnf"
  wait_for mariadb "server socket" mariadb-admin --socket="$M/mysqld.sock" -uroot ping
  local db=$ZAM_TS_DATABASE
  mariadb --socket="$M/mysqld.sock" -uroot <<EOF
CREATE USER IF NOT EXISTS '$U'@'$H' IDENTIFIED BY '$PW';
CREATE USER IF NOT EXISTS '$U'@'localhost' IDENTIFIED BY '$PW';
ALTER USER '$U'@'$H' IDENTIFIED BY '$PW';
ALTER USER '$U'@'localhost' IDENTIFIED BY '$PW';
CREATE DATABASE IF NOT EXISTS $db;
GRANT PROCESS, REPLICATION CLIENT ON *.* TO '$U'@'$H', '$U'@'localhost';
GRANT ALL ON $db.* TO '$U'@'$H', '$U'@'localhost';
CREATE TABLE IF NOT EXISTS $db.zam_items (id INT PRIMARY KEY, name VARCHAR(40), amount DECIMAL(10,2), big BIGINT);
DELETE FROM $db.zam_items;
INSERT INTO $db.zam_items VALUES (1, 'one', 12.50, 3000000000), (2, 'two', 3.90, NULL), (3, 'three', 0.00, -1);
EOF
  wait_for mariadb "TCP port" tcp_open "$ZAM_TS_MYSQL_PORT"
}

# ---------- PostgreSQL (the newest installed version) ----------
start_postgres() {
  local P=$ROOT/postgres bin db=$ZAM_TS_DATABASE
  bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
  [ -x "$bin/postgres" ] || { echo "no PostgreSQL server installed" >&2; return 1; }
  mkdir -p "$P"
  cp "$C/server.crt" "$C/server.key" "$P/"
  chmod 600 "$P/server.key"
  chown -R postgres:postgres "$P"
  # setpriv runs the program itself (no forked child), so $! is the postmaster
  local as_pg=(setpriv --reuid=postgres --regid=postgres --init-groups --)
  if [ ! -f "$P/data/PG_VERSION" ]; then
    rm -rf "$P/data"
    head -c 18 /dev/urandom | base64 > "$P/pwfile"
    chown postgres: "$P/pwfile"
    chmod 600 "$P/pwfile"
    (cd "$P" && "${as_pg[@]}" "$bin/initdb" -D "$P/data" -U postgres --pwfile="$P/pwfile" \
      --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8) > "$LOGS/postgres-initdb.log" 2>&1
  fi
  (cd "$P" && launch postgres "$LOGS/postgres.log" "${as_pg[@]}" "$bin/postgres" -D "$P/data" \
    -c listen_addresses="$H" -p "$ZAM_TS_POSTGRES_PORT" -c unix_socket_directories="$P" \
    -c ssl=on -c ssl_cert_file="$P/server.crt" -c ssl_key_file="$P/server.key" \
    -c logging_collector=off -c fsync=off)
  local psql=("${as_pg[@]}" "$bin/psql" -X -q -v ON_ERROR_STOP=1 -h "$P" -p "$ZAM_TS_POSTGRES_PORT" -U postgres)
  wait_for postgres "server socket" "${psql[@]}" -d postgres -c 'SELECT 1'
  # statements read from standard input each run in their own transaction (CREATE DATABASE needs that)
  (cd "$P" && "${psql[@]}" -d postgres) <<EOF
SELECT 'CREATE ROLE $U LOGIN' WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '$U')\gexec
ALTER ROLE $U LOGIN PASSWORD '$PW';
GRANT pg_monitor TO $U;
SELECT 'CREATE DATABASE $db OWNER $U' WHERE NOT EXISTS (SELECT 1 FROM pg_database WHERE datname = '$db')\gexec
EOF
  (cd "$P" && "${psql[@]}" -d "$db") <<EOF
CREATE TABLE IF NOT EXISTS zam_items (id INT PRIMARY KEY, name VARCHAR(40), amount NUMERIC(10,2), big BIGINT);
DELETE FROM zam_items;
INSERT INTO zam_items VALUES (1, 'one', 12.50, 3000000000), (2, 'two', 3.90, NULL), (3, 'three', 0.00, -1);
ALTER TABLE zam_items OWNER TO $U;
EOF
}

# ---------- sshd: password and keys; a second one with PAM for keyboard-interactive ----------
prepare_ssh_keys() {
  local S=$ROOT/ssh
  [ -f "$S/client/id_rsa.pub" ] && return 0
  rm -rf "$S"
  mkdir -p "$S/client"
  # one ed25519 host key, so the host-key fingerprint is fixed for a run
  ssh-keygen -q -t ed25519 -N '' -C corvane-test-host -f "$S/ssh_host_ed25519_key"
  ssh-keygen -q -t ed25519 -N '' -C "$U-ed25519" -f "$S/client/id_ed25519"
  ssh-keygen -q -t ed25519 -N "$ZAM_TS_KEY_PASSPHRASE" -C "$U-ed25519-enc" -f "$S/client/id_ed25519_enc"
  ssh-keygen -q -t rsa -b 3072 -m PEM -N '' -C "$U-rsa" -f "$S/client/id_rsa"
}
start_sshd() {
  local S=$ROOT/ssh
  mkdir -p /run/sshd "$S/authorized_keys"
  cat "$S"/client/*.pub > "$S/authorized_keys/$U"
  chmod 755 "$S" "$S/authorized_keys"
  chmod 644 "$S/authorized_keys/$U"
  sshconf() { # port pam
    cat <<EOF
Port $1
ListenAddress $H
HostKey $S/ssh_host_ed25519_key
PidFile $S/sshd-$1.pid
AuthorizedKeysFile $S/authorized_keys/%u
PubkeyAuthentication yes
# libssh2 1.10 signs RSA user keys only with ssh-rsa (SHA-1); OpenSSH 9.2 refuses it by default
PubkeyAcceptedAlgorithms +ssh-rsa
PasswordAuthentication yes
KbdInteractiveAuthentication $2
UsePAM $2
PermitRootLogin no
StrictModes no
Subsystem sftp internal-sftp
LogLevel VERBOSE
EOF
  }
  sshconf "$ZAM_TS_SSH_PORT" no > "$S/sshd_config"
  sshconf "$ZAM_TS_SSH_KBDINT_PORT" yes > "$S/sshd_kbdint_config"
  # sshd re-executes itself and insists on an absolute path
  launch sshd "$LOGS/sshd.log" /usr/sbin/sshd -D -f "$S/sshd_config" -E "$S/sshd.log"
  launch sshd-kbdint "$LOGS/sshd-kbdint.log" /usr/sbin/sshd -D -f "$S/sshd_kbdint_config" -E "$S/sshd-kbdint.log"
  wait_for sshd "port" tcp_open "$ZAM_TS_SSH_PORT"
  wait_for sshd-kbdint "port" tcp_open "$ZAM_TS_SSH_KBDINT_PORT"
}

# ---------- SMTP (aiosmtpd) ----------
start_smtp() {
  # every start begins with an empty spool
  rm -rf "$ROOT/smtp/spool"
  mkdir -p "$ROOT/smtp/spool"
  launch smtp "$LOGS/smtp.log" /usr/bin/python3 "$here/test-smtp-server.py" --host "$H" \
    --port "$ZAM_TS_SMTP_PORT" --starttls-port "$ZAM_TS_SMTP_STARTTLS_PORT" --smtps-port "$ZAM_TS_SMTPS_PORT" \
    --cert "$C/server.crt" --key "$C/server.key" --user "$U" --password "$PW" --spool "$ROOT/smtp/spool" \
    --maildir "$ROOT/dovecot/home/$U/Maildir"
  wait_for smtp "ready line" grep -q 'smtp test server ready' "$LOGS/smtp.log"
}

# ---------- vsftpd: FTP with AUTH TLS, FTPS from the start, FTP without TLS ----------
start_vsftpd() {
  local V=$ROOT/vsftpd
  mkdir -p "$V/empty" "$V/anon"
  chmod 755 "$V" "$V/empty" "$V/anon"
  echo "anonymous download" > "$V/anon/zamtest-anon.txt"
  chmod 644 "$V/anon/zamtest-anon.txt"
  vconf() { # port pasv-first pasv-last ssl implicit
    cat <<EOF
listen=YES
listen_address=$H
listen_port=$1
background=NO
anonymous_enable=YES
anon_root=$V/anon
ftp_username=ftp
no_anon_password=YES
allow_anon_ssl=YES
local_enable=YES
write_enable=YES
local_umask=022
pasv_enable=YES
pasv_address=$H
pasv_min_port=$2
pasv_max_port=$3
seccomp_sandbox=NO
delay_failed_login=0
secure_chroot_dir=$V/empty
pam_service_name=$PAM_FTP
vsftpd_log_file=$V/vsftpd-$1.log
xferlog_enable=YES
ssl_enable=$4
rsa_cert_file=$C/server.crt
rsa_private_key_file=$C/server.key
force_local_logins_ssl=NO
force_local_data_ssl=NO
force_anon_logins_ssl=NO
force_anon_data_ssl=NO
require_ssl_reuse=NO
ssl_tlsv1=NO
ssl_ciphers=HIGH
implicit_ssl=$5
EOF
  }
  local f=$ZAM_TS_FTP_PASV_FIRST
  vconf "$ZAM_TS_FTP_PORT" "$f" $((f + 9)) YES NO > "$V/ftp.conf"
  vconf "$ZAM_TS_FTPS_IMPLICIT_PORT" $((f + 10)) $((f + 19)) YES YES > "$V/ftps-implicit.conf"
  vconf "$ZAM_TS_FTP_NOTLS_PORT" $((f + 20)) "$ZAM_TS_FTP_PASV_LAST" NO NO > "$V/ftp-notls.conf"
  launch vsftpd "$LOGS/vsftpd.log" vsftpd "$V/ftp.conf"
  launch vsftpd-implicit "$LOGS/vsftpd-implicit.log" vsftpd "$V/ftps-implicit.conf"
  launch vsftpd-notls "$LOGS/vsftpd-notls.log" vsftpd "$V/ftp-notls.conf"
  wait_for vsftpd "port" tcp_open "$ZAM_TS_FTP_PORT"
  wait_for vsftpd-implicit "port" tcp_open "$ZAM_TS_FTPS_IMPLICIT_PORT"
  wait_for vsftpd-notls "port" tcp_open "$ZAM_TS_FTP_NOTLS_PORT"
}

# ---------- dovecot: POP3 and IMAP, STARTTLS on the plain ports, TLS ports ----------
imap_login_ok() {
  curl -s --max-time 10 -u "$U:$PW" "imap://$H:$ZAM_TS_IMAP_PORT/" -o /dev/null
}
start_dovecot() {
  local D=$ROOT/dovecot uid gid home
  uid=$(id -u "$U")
  gid=$(id -g "$U")
  home=$D/home/$U
  mkdir -p "$D/run" "$D/state" "$home/Maildir/new" "$home/Maildir/cur" "$home/Maildir/tmp"
  # one message waiting in the mailbox
  if [ -z "$(find "$home/Maildir/new" "$home/Maildir/cur" -type f)" ]; then
    printf 'From: sender@zam.test\r\nTo: %s@zam.test\r\nSubject: corvane test message\r\nDate: Mon, 01 Jan 2024 00:00:00 +0000\r\n\r\nHello.\r\n' "$U" \
      > "$home/Maildir/new/1704067200.M1P1.zamtest"
  fi
  chown -R "$uid:$gid" "$D/home"
  echo "$U:{PLAIN}$PW:$uid:$gid::$home::" > "$D/users"
  # the second login shares the test user's mailbox; its password needs IMAP quoting
  local quoted_pw
  quoted_pw=$(printf '%s' "$ZAM_TS_QUOTED_PASSWORD_HEX" | sed 's/../\\x&/g')
  printf '%s:{PLAIN}%b:%s:%s::%s::\n' "$ZAM_TS_QUOTED_USER" "$quoted_pw" "$uid" "$gid" "$home" >> "$D/users"
  chgrp dovecot "$D/users"
  chmod 640 "$D/users"
  cat > "$D/dovecot.conf" <<EOF
protocols = imap pop3
listen = $H
base_dir = $D/run
state_dir = $D/state
log_path = $D/dovecot.log
ssl = yes
ssl_cert = <$C/server.crt
ssl_key = <$C/server.key
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_failure_delay = 0
mail_location = maildir:~/Maildir
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $D/users
}
userdb {
  driver = passwd-file
  args = username_format=%u $D/users
}
service imap-login {
  inet_listener imap {
    port = $ZAM_TS_IMAP_PORT
  }
  inet_listener imaps {
    port = $ZAM_TS_IMAPS_PORT
    ssl = yes
  }
}
service pop3-login {
  inet_listener pop3 {
    port = $ZAM_TS_POP3_PORT
  }
  inet_listener pop3s {
    port = $ZAM_TS_POP3S_PORT
    ssl = yes
  }
}
# no growing per-address delay after failed logins, or negative tests slow down the next ones
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
EOF
  launch dovecot "$LOGS/dovecot.log" dovecot -F -c "$D/dovecot.conf"
  wait_for dovecot "ports" all_tcp_open "$ZAM_TS_IMAP_PORT" "$ZAM_TS_IMAPS_PORT" "$ZAM_TS_POP3_PORT" "$ZAM_TS_POP3S_PORT"
  # the first login after a start can take seconds: pay it here, not in a test with a short time-out
  wait_for dovecot "IMAP login" imap_login_ok
}

# ---------- commands ----------
stop_all() {
  [ -d "$PIDS" ] || return 0
  local f name rec pid start sig stopped=()
  rm -f "$ROOT/running"
  if [ "$(cat "$PIDS/boot_id" 2>/dev/null)" != "$(boot_id)" ]; then
    # recorded before a reboot: those pids mean other processes now
    rm -f "$PIDS"/*.pid "$PIDS/boot_id"
    return 0
  fi
  for f in "$PIDS"/*.pid; do
    [ -f "$f" ] || continue
    name=$(basename "$f" .pid)
    rec=$(cat "$f" 2>/dev/null || true)
    pid="" start=""
    read -r pid start <<<"$rec" || true
    case "$pid" in
      ''|*[!0-9]*) rm -f "$f"; continue ;;
    esac
    if proc_alive "$pid" "$start"; then
      sig=TERM
      [ "$name" = postgres ] && sig=INT      # fast shutdown
      kill -s "$sig" "$pid" 2>/dev/null || true
    fi
    # also when the server itself is gone: its children may still be there
    stopped+=("$name:$pid:$start")
  done
  local deadline=$(( $(date +%s) + 15 )) entry left
  while :; do
    left=0
    for entry in "${stopped[@]}"; do
      IFS=: read -r name pid start <<<"$entry"
      proc_alive "$pid" "$start" && left=1
    done
    [ "$left" = 0 ] && break
    [ "$(date +%s)" -ge "$deadline" ] && break
    sleep 0.1
  done
  for entry in "${stopped[@]}"; do
    IFS=: read -r name pid start <<<"$entry"
    if proc_alive "$pid" "$start"; then
      echo "$name ($pid) did not stop in 15 s: KILL" >&2
      kill -KILL "$pid" 2>/dev/null || true
    fi
    # children left behind in the server's own process group (the group id is the server's pid).
    # A group without a living leader is ours: no other process can take a live group's id.
    if { ! proc_alive "$pid" || proc_alive "$pid" "$start"; } && group_alive "$pid"; then
      kill -TERM -- "-$pid" 2>/dev/null || true
      for _ in 1 2 3 4 5 6 7 8 9 10; do
        group_alive "$pid" || break
        sleep 0.1
      done
      kill -KILL -- "-$pid" 2>/dev/null || true
    fi
    rm -f "$PIDS/$name.pid"
    echo "stopped $name ($pid)"
  done
}

status_all() {
  local name rec all=0
  for name in "${SERVERS[@]}"; do
    if server_alive "$name"; then
      rec=$(read_pid "$name")
      printf '%-16s running (pid %s)\n' "$name" "${rec%% *}"
    else
      printf '%-16s stopped\n' "$name"
      all=3
    fi
  done
  return $all
}

check_ports_free() {
  local p busy=()
  for p in "$ZAM_TS_HTTP_PORT" "$ZAM_TS_HTTPS_PORT" "$ZAM_TS_HTTPS_SELFSIGNED_PORT" "$ZAM_TS_HTTPS_EXPIRED_PORT" \
           "$ZAM_TS_HTTP_PROXY_PORT" "$ZAM_TS_SOCKS_PORT" \
           "$ZAM_TS_MYSQL_PORT" "$ZAM_TS_POSTGRES_PORT" "$ZAM_TS_SSH_PORT" "$ZAM_TS_SSH_KBDINT_PORT" \
           "$ZAM_TS_SMTP_PORT" "$ZAM_TS_SMTP_STARTTLS_PORT" "$ZAM_TS_SMTPS_PORT" \
           "$ZAM_TS_FTP_PORT" "$ZAM_TS_FTPS_IMPLICIT_PORT" "$ZAM_TS_FTP_NOTLS_PORT" \
           "$ZAM_TS_POP3_PORT" "$ZAM_TS_POP3S_PORT" "$ZAM_TS_IMAP_PORT" "$ZAM_TS_IMAPS_PORT" "$ZAM_TS_DNS_PORT"; do
    port_busy tcp "$p" && busy+=("tcp/$p")
  done
  for p in "$ZAM_TS_UDP_ECHO_PORT" "$ZAM_TS_SNMP_PORT" "$ZAM_TS_SNMP_FIXTURE_PORT" "$ZAM_TS_DNS_PORT"; do
    port_busy udp "$p" && busy+=("udp/$p")
  done
  if [ ${#busy[@]} -gt 0 ]; then
    echo "test-servers: ports already in use by other programs: ${busy[*]}" >&2
    return 1
  fi
}

start_all() {
  local t0 t
  t0=$(now)
  # Interrupted while starting: let the start jobs see the flag and end (so that every server
  # they launched has its pid file), then stop everything.
  trap 'trap - INT TERM; touch "$ABORT"; wait; stop_all >&2; rm -f "$ABORT"; exit 130' INT TERM
  if [ -d "$PIDS" ] && compgen -G "$PIDS/*.pid" >/dev/null; then
    echo "test-servers: stopping the servers of an earlier start first"
    stop_all
  fi
  check_ports_free
  mkdir -p "$ROOT" "$PIDS" "$LOGS"
  chmod 755 "$ROOT"
  touch "$MARKER"
  rm -f "$ROOT/running" "$ABORT"
  boot_id > "$PIDS/boot_id"

  # shared material first (reused from an earlier start when present)
  prepare_user
  prepare_certs &
  local certs_job=$!
  prepare_ssh_keys > "$LOGS/ssh-keys.log" 2>&1 &
  local keys_job=$!
  wait "$certs_job" || die "could not make the certificates (see $LOGS/certs.log)"
  wait "$keys_job" || die "could not make the SSH keys (see $LOGS/ssh-keys.log)"

  # every server in parallel; each one waits for its own readiness
  local name jobs=() names=() failed=()
  for name in nginx tinyproxy danted udp_echo snmpd snmpd_fixture dnsmasq mariadb postgres sshd smtp vsftpd dovecot; do
    # a signal only raises the flag here: dying between a launch and its pid file would leak a server
    ( trap 'touch "$ABORT"' INT TERM
      t=$(now); "start_$name"; echo "ready in $(elapsed "$t") s" ) > "$LOGS/start-$name.log" 2>&1 &
    jobs+=($!)
    names+=("$name")
  done
  local i
  for i in "${!jobs[@]}"; do
    if wait "${jobs[$i]}"; then
      printf '  %-10s %s\n' "${names[$i]}" "$(tail -1 "$LOGS/start-${names[$i]}.log")"
    else
      failed+=("${names[$i]}")
    fi
  done
  if [ ${#failed[@]} -gt 0 ]; then
    for name in "${failed[@]}"; do
      echo "---- $name failed to start; $LOGS/start-$name.log:" >&2
      tail -20 "$LOGS/start-$name.log" >&2
      local out
      for out in "$LOGS/${name//_/-}"*.log; do
        [ -s "$out" ] || continue
        echo "---- $out:" >&2
        tail -10 "$out" >&2
      done
    done
    stop_all >&2
    die "failed: ${failed[*]} (logs in $LOGS)"
  fi
  trap - INT TERM
  date -u +%FT%TZ > "$ROOT/running"
  echo "test servers up in $(elapsed "$t0") s (folder $ROOT)"
}

clean_all() {
  stop_all
  if [ -d "$ROOT" ]; then
    [ -f "$MARKER" ] || die "$ROOT was not made by this script; not deleting it"
    rm -rf "$ROOT"
    echo "deleted $ROOT"
  fi
}

[ "$(id -u)" -eq 0 ] || die "must run as root"
case "${1:-}" in
  start) start_all ;;
  stop) stop_all ;;
  status) status_all ;;
  clean) clean_all ;;
  *) echo "usage: $0 start|stop|status|clean" >&2; exit 2 ;;
esac
