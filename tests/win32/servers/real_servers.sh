#!/usr/bin/env bash
# Real servers from Debian's packages for the Windows tests, on loopback only, each with
# its own configuration in DIR and no system service involved:
#   nginx (plain HTTP and TLS with a certificate of a test CA made here)
#     127.0.0.1:47180  HTTP     127.0.0.1:47443  HTTPS (the test builds' echo host)
#     127.0.0.5:80     HTTP     127.0.0.5:443    HTTPS
#     127.0.0.6:80     HTTP only (nothing listens on 127.0.0.6:443)
#   Paths: /ip (198.51.100.23), /whoami (peer, User-Agent and Accept), /redirect (302 to
#   /whoami), /missing (404), /updates/ (UPDATES, the test releases), /chunked/ (the
#   same in chunked transfer encoding), anything else 200.
#   tinyproxy 127.0.0.3:47138, connecting out from 127.0.0.3 (so nginx's /whoami and
#   its access log tell proxied requests from direct ones).
# The test CA is DIR/ca.pem.
#   real_servers.sh certs DIR             only makes the test CA and the server certificate
#   real_servers.sh start DIR [UPDATES]   starts both; writes DIR/ready, or DIR/failed
#                                         with the reason, and exits non-zero on failure
#   real_servers.sh stop DIR              stops what start started
set -uo pipefail
command=$1
dir=$2
updates=${3:-$dir/no-updates}

stop() {
  for name in nginx tinyproxy; do
    if [ -s "$dir/$name.pid" ]; then
      kill "$(cat "$dir/$name.pid")" 2>/dev/null || true
      rm -f "$dir/$name.pid"
    fi
  done
  rm -f "$dir/ready"
}

fail() {
  echo "$*" >"$dir/failed"
  echo "real_servers: $*" >&2
  stop
  exit 1
}

wait_port() {  # host port
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

case $command in
  stop)
    stop
    exit 0
    ;;
  start | certs) ;;
  *) echo "usage: real_servers.sh start|stop|certs DIR [UPDATES]" >&2; exit 2 ;;
esac

mkdir -p "$dir" "$updates" || exit 1
rm -f "$dir/ready" "$dir/failed"
stop
command -v nginx >/dev/null || fail "nginx is not installed (scripts/setup.sh installs nginx-light)"
command -v tinyproxy >/dev/null || fail "tinyproxy is not installed (scripts/setup.sh installs it)"
command -v openssl >/dev/null || fail "openssl is not installed"

# A test CA and a server certificate for 127.0.0.1, 127.0.0.5 and localhost.
if [ ! -s "$dir/server.pem" ]; then
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velmora test CA" \
    -keyout "$dir/ca-key.pem" -out "$dir/ca.pem" >/dev/null 2>&1 || fail "openssl could not make the test CA"
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$dir/server-key.pem" \
    -out "$dir/server.csr" >/dev/null 2>&1 || fail "openssl could not make the server key"
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1,IP:127.0.0.5\nextendedKeyUsage=serverAuth\n' >"$dir/server.ext"
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca-key.pem" -CAcreateserial \
    -days 2 -extfile "$dir/server.ext" -out "$dir/server.pem" >/dev/null 2>&1 || fail "openssl could not sign the server certificate"
fi

[ "$command" = certs ] && exit 0

mkdir -p "$dir/nginx-temp"
cat >"$dir/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/nginx-error.log info;
events { worker_connections 64; }
http {
  access_log $dir/nginx-access.log;
  client_body_temp_path $dir/nginx-temp/body;
  proxy_temp_path $dir/nginx-temp/proxy;
  fastcgi_temp_path $dir/nginx-temp/fastcgi;
  uwsgi_temp_path $dir/nginx-temp/uwsgi;
  scgi_temp_path $dir/nginx-temp/scgi;
  default_type text/plain;
  keepalive_timeout 30;
  ssl_certificate $dir/server.pem;
  ssl_certificate_key $dir/server-key.pem;
  ssl_protocols TLSv1.2 TLSv1.3;
  server {
    listen 127.0.0.1:47180;
    listen 127.0.0.5:80;
    listen 127.0.0.6:80;
    listen 127.0.0.1:47443 ssl;
    listen 127.0.0.5:443 ssl;
    server_name _;
    location = /ip { return 200 "198.51.100.23"; }
    location = /whoami { return 200 "\$remote_addr \$http_user_agent|\$http_accept"; }
    location = /redirect { return 302 /whoami; }
    location = /missing { return 404; }
    location /updates/ { alias $updates/; }
    # The same files with no length given: server-side includes make nginx send them
    # in chunks.
    location /chunked/ { alias $updates/; ssi on; ssi_types *; }
    location / { return 200 "nginx"; }
  }
}
CONF

cat >"$dir/tinyproxy.conf" <<CONF
Port 47138
Listen 127.0.0.3
Bind 127.0.0.3
Timeout 30
MaxClients 20
Allow 127.0.0.0/8
ConnectPort 443
ConnectPort 47443
PidFile "$dir/tinyproxy.pid"
LogFile "$dir/tinyproxy.log"
LogLevel Info
CONF
if [ "$(id -u)" = 0 ]; then printf 'User root\nGroup root\n' >>"$dir/tinyproxy.conf"; fi

ip link set lo up 2>/dev/null || true
nginx -t -p "$dir" -c "$dir/nginx.conf" -e "$dir/nginx-error.log" >"$dir/nginx-test.log" 2>&1 ||
  fail "nginx refused its configuration: $(tail -n 3 "$dir/nginx-test.log" | tr '\n' ' ')"
setsid nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/nginx-error.log" </dev/null >"$dir/nginx.out" 2>&1 &
echo $! >"$dir/nginx.pid"
setsid tinyproxy -d -c "$dir/tinyproxy.conf" </dev/null >"$dir/tinyproxy.out" 2>&1 &
echo $! >"$dir/tinyproxy.pid"

for endpoint in 127.0.0.1:47180 127.0.0.1:47443 127.0.0.5:80 127.0.0.5:443 127.0.0.6:80; do
  wait_port "${endpoint%:*}" "${endpoint#*:}" ||
    fail "nginx does not listen on $endpoint: $(tail -n 3 "$dir/nginx-error.log" "$dir/nginx.out" 2>/dev/null | tr '\n' ' ')"
done
wait_port 127.0.0.3 47138 || fail "tinyproxy does not listen on 127.0.0.3:47138: $(tail -n 3 "$dir/tinyproxy.out" "$dir/tinyproxy.log" 2>/dev/null | tr '\n' ' ')"
touch "$dir/ready"
