#!/usr/bin/env bash
# Starts the test bed in DIR: vsftpd, pyftpdlib, nginx and tinyproxy (in front of nginx), all on
# 127.0.0.1 and on free ports chosen now; nginx also on ::1, and a second vsftpd serving the same
# files on ::1 (one vsftpd listens on one family only). Writes DIR/env (KEY=value lines for the tests) and
# DIR/pids (one "name pid" line per server). Stop it with stop.sh DIR.
# Needs root: it creates the FTP user and vsftpd runs as root until log-in.
set -euo pipefail

[[ $# -eq 1 ]] || { echo "usage: $0 DIR" >&2; exit 2; }
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=common.sh
source "$HERE/common.sh"

[[ $EUID -eq 0 ]] || tb_die "run as root (it creates the FTP user; vsftpd needs it)"
mkdir -p "$1"
DIR=$(cd "$1" && pwd)
[[ ! -s "$DIR/pids" ]] || tb_die "$DIR/pids exists: a bed may still run there (stop.sh $DIR)"
# The FTP user and nobody (tinyproxy, nginx workers) walk into DIR.
chmod 755 "$DIR"
: > "$DIR/pids"
: > "$DIR/env"

FTP_USER=zdq
FTP_PASSWORD=Qm7tR2xw
PASSIVE_BLOCK=20

read -r VSFTPD_PORT VSFTPD6_PORT PYFTPD_PORT NGINX_PORT PROXY_PORT PASV_FIRST PASV_LAST \
    < <(/usr/bin/python3 "$HERE/free_ports.py" 5 $((2 * PASSIVE_BLOCK)))
VSFTPD_PASV_FIRST=$PASV_FIRST
VSFTPD_PASV_LAST=$((PASV_FIRST + PASSIVE_BLOCK - 1))
PYFTPD_PASV_FIRST=$((PASV_FIRST + PASSIVE_BLOCK))
PYFTPD_PASV_LAST=$PASV_LAST

# If anything below fails, take down what already runs.
trap 'status=$?; if [[ $status -ne 0 ]]; then tb_say "start failed; stopping"; "$HERE/stop.sh" "$DIR" || true; fi' EXIT

env_line() { printf '%s=%q\n' "$1" "$2" >> "$DIR/env"; }

# Starts a server in a session of its own (setsid execs it, so $! is the server) and records it.
launch() {
    local name=$1 output=$2
    shift 2
    setsid "$@" > "$output" 2>&1 < /dev/null &
    echo "$name $!" >> "$DIR/pids"
    LAUNCHED_PID=$!
}

ensure_ftp_user() {
    # vsftpd changes into the home directory before local_root, so the home must exist (any
    # will do); PAM (pam_shells) refuses users whose shell is not in /etc/shells.
    if ! id "$FTP_USER" > /dev/null 2>&1; then
        useradd --no-create-home --home-dir / --shell /bin/sh "$FTP_USER" 2> /dev/null \
            || id "$FTP_USER" > /dev/null 2>&1 || tb_die "cannot create user $FTP_USER"
    fi
    local home shell
    home=$(getent passwd "$FTP_USER" | cut -d: -f6)
    shell=$(getent passwd "$FTP_USER" | cut -d: -f7)
    [[ -d "$home" ]] || usermod --home / "$FTP_USER"
    grep -qxF "$shell" /etc/shells || usermod --shell /bin/sh "$FTP_USER"
    echo "$FTP_USER:$FTP_PASSWORD" | chpasswd
}

# vsftpd's configuration; LISTEN holds the lines that say where it listens.
vsftpd_conf() {
    local base=$1 listen=$2 log=$3
    cat << CONF
$listen
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
pam_service_name=vsftpd
local_root=$base/root
chroot_local_user=YES
allow_writeable_chroot=YES
secure_chroot_dir=$base/empty
connect_from_port_20=NO
port_enable=YES
pasv_enable=YES
pasv_address=127.0.0.1
# A client seen from another address (through a router) may still connect to its passive ports;
# the address of an active-mode data port is checked against the client's.
pasv_promiscuous=YES
port_promiscuous=NO
pasv_min_port=$VSFTPD_PASV_FIRST
pasv_max_port=$VSFTPD_PASV_LAST
xferlog_enable=YES
xferlog_std_format=NO
log_ftp_protocol=YES
vsftpd_log_file=$log
syslog_enable=NO
dual_log_enable=NO
use_localtime=NO
CONF
}

start_vsftpd() {
    local base=$DIR/vsftpd
    mkdir -p "$base/root/upload" "$base/empty"
    chown -R "$FTP_USER:" "$base/root"
    chmod 755 "$base" "$base/empty"
    vsftpd_conf "$base" "listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$VSFTPD_PORT" "$base/vsftpd.log" > "$base/vsftpd.conf"
    : > "$base/vsftpd.log"
    launch vsftpd "$base/output.log" /usr/sbin/vsftpd "$base/vsftpd.conf"
    tb_wait_listening vsftpd "$LAUNCHED_PID" "$VSFTPD_PORT" "$base/output.log"
    env_line MILTE_TB_VSFTPD_PORT "$VSFTPD_PORT"
    env_line MILTE_TB_VSFTPD_ROOT "$base/root"
    env_line MILTE_TB_VSFTPD_LOG "$base/vsftpd.log"

    # IPv6 needs listen_ipv6, which excludes listen: a second server on the same files.
    vsftpd_conf "$base" "listen=NO
listen_ipv6=YES
listen_address6=::1
listen_port=$VSFTPD6_PORT" "$base/vsftpd6.log" > "$base/vsftpd6.conf"
    : > "$base/vsftpd6.log"
    launch vsftpd6 "$base/output6.log" /usr/sbin/vsftpd "$base/vsftpd6.conf"
    tb_wait_listening vsftpd6 "$LAUNCHED_PID" "$VSFTPD6_PORT" "$base/output6.log" "[::1]"
    env_line MILTE_TB_VSFTPD6_PORT "$VSFTPD6_PORT"
    env_line MILTE_TB_VSFTPD6_LOG "$base/vsftpd6.log"
}

start_pyftpd() {
    local base=$DIR/pyftpd
    mkdir -p "$base/root/upload"
    : > "$base/dialogue.log"
    launch pyftpd "$base/server.log" /usr/bin/python3 "$HERE/pyftpd_server.py" \
        --port "$PYFTPD_PORT" --root "$base/root" --user "$FTP_USER" --password "$FTP_PASSWORD" \
        --passive-ports "$PYFTPD_PASV_FIRST-$PYFTPD_PASV_LAST" --dialogue-log "$base/dialogue.log"
    tb_wait_listening pyftpd "$LAUNCHED_PID" "$PYFTPD_PORT" "$base/server.log"
    env_line MILTE_TB_PYFTPD_PORT "$PYFTPD_PORT"
    env_line MILTE_TB_PYFTPD_ROOT "$base/root"
    env_line MILTE_TB_PYFTPD_LOG "$base/dialogue.log"
}

start_nginx() {
    local base=$DIR/nginx
    mkdir -p "$base/html/static" "$base/logs" "$base/temp"
    printf 'Hello from the test bed.\n' > "$base/html/static/hello.txt"
    /usr/bin/python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(256)) * 1024)' \
        > "$base/html/static/bytes.bin"
    # Workers run as nobody: they read html/ and write temp/.
    chmod -R a+rX "$base/html"
    chown nobody "$base/temp"
    cat > "$base/nginx.conf" << CONF
load_module /usr/lib/nginx/modules/ngx_http_echo_module.so;
user nobody nogroup;
daemon off;
master_process on;
worker_processes 1;
pid $base/nginx.pid;
error_log $base/logs/error.log notice;
events { worker_connections 64; }
http {
    client_body_temp_path $base/temp/body;
    proxy_temp_path $base/temp/proxy;
    fastcgi_temp_path $base/temp/fastcgi;
    uwsgi_temp_path $base/temp/uwsgi;
    scgi_temp_path $base/temp/scgi;
    default_type application/octet-stream;
    # Bodies stay in memory so \$request_body is set for the log.
    client_body_buffer_size 1m;
    client_max_body_size 1m;
    client_body_in_single_buffer on;

    # The request line as received, bytes unescaped.
    log_format milte_request_line escape=none '\$request';
    # One JSON object per line: the request line, the raw head as received (request line and
    # header lines, each ending CR LF, then the empty line), the body (bytes >= 0x80 raw) and
    # the client's address.
    log_format milte_request escape=json
        '{"status":"\$status","request_line":"\$request",'
        '"head":"\$echo_client_request_headers","body":"\$request_body","client":"\$remote_addr"}';

    server {
        listen 127.0.0.1:$NGINX_PORT;
        listen [::1]:$NGINX_PORT;
        server_name localhost;
        access_log $base/logs/request_lines.log milte_request_line;
        access_log $base/logs/requests.log milte_request;

        location = /ftp.php {
            default_type text/html;
            echo_read_request_body;
            echo "OK";
        }
        # Answers with the request head and body it received.
        location = /echo {
            default_type text/plain;
            echo_read_request_body;
            echo -n \$echo_client_request_headers;
            echo_request_body;
        }
        location /static/ {
            root $base/html;
        }
        location = /redirect {
            return 302 /static/hello.txt;
        }
    }
}
CONF
    launch nginx "$base/output.log" /usr/sbin/nginx -p "$base" -c "$base/nginx.conf"
    tb_wait_listening nginx "$LAUNCHED_PID" "$NGINX_PORT" "$base/output.log"
    tb_wait_listening nginx "$LAUNCHED_PID" "$NGINX_PORT" "$base/output.log" "[::1]"
    env_line MILTE_TB_NGINX_PORT "$NGINX_PORT"
    env_line MILTE_TB_NGINX_HTML "$base/html"
    env_line MILTE_TB_NGINX_REQUEST_LOG "$base/logs/requests.log"
    env_line MILTE_TB_NGINX_REQUEST_LINE_LOG "$base/logs/request_lines.log"
}

start_tinyproxy() {
    local base=$DIR/tinyproxy
    mkdir -p "$base"
    # It writes its log after dropping to nobody.
    : > "$base/tinyproxy.log"
    chown nobody "$base/tinyproxy.log"
    cat > "$base/tinyproxy.conf" << CONF
User nobody
Group nogroup
Port $PROXY_PORT
Listen 127.0.0.1
Timeout 30
LogFile "$base/tinyproxy.log"
LogLevel Info
MaxClients 20
Allow 127.0.0.1
ViaProxyName "tinyproxy"
CONF
    launch tinyproxy "$base/output.log" /usr/bin/tinyproxy -d -c "$base/tinyproxy.conf"
    tb_wait_listening tinyproxy "$LAUNCHED_PID" "$PROXY_PORT" "$base/output.log"
    env_line MILTE_TB_PROXY_PORT "$PROXY_PORT"
    env_line MILTE_TB_PROXY_LOG "$base/tinyproxy.log"
}

env_line MILTE_TB_DIR "$DIR"
env_line MILTE_TB_HOST 127.0.0.1
env_line MILTE_TB_FTP_USER "$FTP_USER"
env_line MILTE_TB_FTP_PASSWORD "$FTP_PASSWORD"
ensure_ftp_user
start_vsftpd
start_pyftpd
start_nginx
start_tinyproxy
tb_say "running in $DIR (vsftpd $VSFTPD_PORT, on ::1 $VSFTPD6_PORT, pyftpdlib $PYFTPD_PORT, nginx $NGINX_PORT, tinyproxy $PROXY_PORT)"
