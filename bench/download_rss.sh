#!/usr/bin/env bash
# Peak memory of one large download: nginx on loopback serves an update list
# that offers one dat of SIZE_MIB MiB (default 256), and `vexmoor update`
# downloads it under /usr/bin/time -v. Prints the wall time and the maximum
# resident set size; the downloaded file is checked against the served one.
#   bench/download_rss.sh [VEXMOOR_PROGRAM]    (default: build/release/cli/vexmoor)
# WORK names the folder for the served and downloaded files (default: a new
# one under /tmp, removed at the end); it needs twice SIZE_MIB free.
set -euo pipefail

vexmoor=${1:-$(dirname "$0")/../build/release/cli/vexmoor}
size_mib=${SIZE_MIB:-256}
nginx=$(command -v nginx || echo /usr/sbin/nginx)
for tool in "$vexmoor" "$nginx" /usr/bin/time; do
  if ! [ -x "$tool" ]; then
    echo "download_rss.sh: $tool not found" >&2
    exit 1
  fi
done

work=${WORK:-$(mktemp -d)}
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; fi
  if [ -z "${WORK:-}" ]; then rm -rf "$work"; fi
}
trap cleanup EXIT
mkdir -p "$work/www/update" "$work/local" "$work/nginx"
rm -f "$work/local/"*

head -c "$((size_mib << 20))" /dev/urandom >"$work/www/update/big.qdat"
printf '[big.qdat]\r\nName=Big\r\nFile=big.qdat\r\nTimestamp=46000\r\n' \
  >"$work/www/update/update2.cgi"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx/nginx.conf" <<EOF
master_process off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 32; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type application/octet-stream;
  server { listen 127.0.0.1:$port; root $work/www; }
}
EOF
"$nginx" -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" \
  -g 'daemon off;' &
pid=$!
for _ in $(seq 100); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  sleep 0.05
done

/usr/bin/time -v -o "$work/time.txt" "$vexmoor" update --base-url "http://127.0.0.1:$port/update/" \
  --dir "$work/local" >/dev/null 2>"$work/stderr.txt" || {
  cat "$work/stderr.txt" >&2
  exit 1
}
cmp "$work/www/update/big.qdat" "$work/local/big.qdat"
rss_kib=$(sed -nE 's/.*Maximum resident set size \(kbytes\): ([0-9]+)/\1/p' "$work/time.txt")
wall=$(sed -nE 's/.*Elapsed \(wall clock\) time.*: (.*)/\1/p' "$work/time.txt")
echo "download of $size_mib MiB: peak RSS $((rss_kib / 1024)) MiB ($rss_kib KiB), wall $wall"
