#!/usr/bin/env bash
# Benchmark of brivane-service against nginx serving the same 300 KB PNG (not a test:
# ctest does not run it; the numbers depend on the machine).
#
#   tests/service/benchmark.sh BUILD/service/brivane-service [seconds] [threads] [connections]
#
# Measures with wrk (apt-get install wrk nginx):
#   1. GET of the direct link (the PNG itself): service vs nginx serving the file
#   2. GET of the short-link page: service vs nginx serving a saved copy of the page
#   3. POST of the program's multipart upload of the PNG: service (stores it, replacing
#      the previous copy) vs nginx reading and discarding the same body
# and prints the median requests per second of ROUNDS rounds (the two servers take
# turns) and the ratio service / nginx for each, with PASS or MISS against its goal:
#   direct link      ratio >= 0.92 (the file is sent as nginx sends it)
#   short-link page  ratio >= 1.00 (the page is made and sent as fast as nginx sends a copy)
#   upload           no goal: nginx drops the body, the service stores and syncs it
# The servers run on the cores SERVER_CPUS (default 2-3), wrk on CLIENT_CPUS (default
# 4-5); ROUNDS defaults to 3. Say how loaded the machine was (uptime) with the figures.
set -euo pipefail

SERVICE=${1:?usage: benchmark.sh PATH/TO/brivane-service [seconds] [threads] [connections]}
DURATION=${2:-10}
THREADS=${3:-4}
CONNECTIONS=${4:-64}
ROUNDS=${ROUNDS:-3}
SERVER_CPUS=${SERVER_CPUS:-2-3}
CLIENT_CPUS=${CLIENT_CPUS:-4-5}
for tool in wrk nginx python3 curl taskset; do
  command -v "$tool" >/dev/null || { echo "benchmark: $tool is missing (apt-get install wrk nginx curl)" >&2; exit 1; }
done

WORK=$(mktemp -d /tmp/brivane-bench.XXXXXX)
SERVICE_PID=""; NGINX_PID=""
cleanup() {
  [ -n "$SERVICE_PID" ] && kill "$SERVICE_PID" 2>/dev/null && wait "$SERVICE_PID" 2>/dev/null || true
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null && wait "$NGINX_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# A 300 KB PNG (noise does not compress) and the program's upload form around it.
python3 - "$WORK" <<'PY'
import os, struct, sys, zlib, base64
work = sys.argv[1]
w, h = 316, 316
raw = b"".join(b"\x00" + os.urandom(w * 3) for _ in range(h))
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) + \
      chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open(os.path.join(work, "shot.png"), "wb").write(png)
b = "------------------------d0580b92d197991c"
fields = [("appId", "{12345678-9ABC-DEF0-1234-56789ABCDEF0}"), ("screenshotId", "121021/BenchPng01"),
          ("fileExt", ".png"), ("uploadType", "0"), ("fileName", base64.b64encode(b"Benchmark").decode())]
body = b"".join(("--%s\r\nContent-Disposition: form-data; name=\"%s\"\r\n\r\n%s\r\n" % (b, k, v)).encode()
                for k, v in fields)
body += ("--%s\r\nContent-Disposition: form-data; name=\"userfile\"; filename=\"shot.png\"\r\n"
         "Content-Type: image/png\r\n\r\n" % b).encode() + png + ("\r\n--%s--\r\n" % b).encode()
open(os.path.join(work, "upload.body"), "wb").write(body)
print("PNG: %d bytes, upload body: %d bytes" % (len(png), len(body)))
PY

cat > "$WORK/upload.lua" <<'LUA'
local f = assert(io.open(os.getenv("BENCH_BODY"), "rb"))
wrk.method = "POST"
wrk.body = f:read("*a")
f:close()
wrk.headers["Content-Type"] = "multipart/form-data; boundary=------------------------d0580b92d197991c"
LUA

# The service.
SPORT=$(free_port)
taskset -c "$SERVER_CPUS" "$SERVICE" --listen "127.0.0.1:$SPORT" --data "$WORK/data" --max-upload-size 10000000 2>"$WORK/service.log" &
SERVICE_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$SPORT/" && break; sleep 0.1; done
curl -s -F "appId={12345678-9ABC-DEF0-1234-56789ABCDEF0}" -F "screenshotId=121021/BenchPng01" -F "fileExt=.png" \
     -F "uploadType=0" -F "fileName=QmVuY2htYXJr" -F "userfile=@$WORK/shot.png" "http://127.0.0.1:$SPORT/post_file2" \
     | grep -q '{"status":0}' || { echo "benchmark: the upload failed" >&2; exit 1; }
LINK=/sAUBenchPng01

# nginx with the same file under the same names.
NPORT=$(free_port)
mkdir -p "$WORK/nginx/root" "$WORK/nginx/logs" "$WORK/nginx/tmp"
cp "$WORK/shot.png" "$WORK/nginx/root/sAUBenchPng01.png"
curl -s "http://127.0.0.1:$SPORT$LINK" > "$WORK/nginx/root/page.html"
# nginx workers started by root run as nobody: let them read the files.
chmod 755 "$WORK" "$WORK/nginx" "$WORK/nginx/root"
chmod 644 "$WORK/nginx/root/"*
cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes $THREADS;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $WORK/nginx/tmp;
  proxy_temp_path $WORK/nginx/tmp;
  fastcgi_temp_path $WORK/nginx/tmp;
  uwsgi_temp_path $WORK/nginx/tmp;
  scgi_temp_path $WORK/nginx/tmp;
  types { image/png png; text/html html; }
  server {
    listen 127.0.0.1:$NPORT;
    root $WORK/nginx/root;
    location = $LINK { default_type text/html; try_files /page.html =404; }
    location = /post_file2 { client_max_body_size 10m; return 200 '{"status":0}'; }
  }
}
CONF
taskset -c "$SERVER_CPUS" nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" -g 'daemon off;' &
NGINX_PID=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$NPORT$LINK.png" && break; sleep 0.1; done
cmp -s <(curl -s "http://127.0.0.1:$SPORT$LINK.png") <(curl -s "http://127.0.0.1:$NPORT$LINK.png") \
  || { echo "benchmark: the two servers do not serve the same file" >&2; exit 1; }

cmp -s <(curl -s "http://127.0.0.1:$SPORT$LINK") <(curl -s "http://127.0.0.1:$NPORT$LINK") \
  || { echo "benchmark: the two servers do not serve the same page" >&2; exit 1; }

rate() {  # url [script]: requests per second
  local extra=()
  [ -n "${2:-}" ] && extra=(-s "$2")
  BENCH_BODY="$WORK/upload.body" taskset -c "$CLIENT_CPUS" \
    wrk -t"$THREADS" -c"$CONNECTIONS" -d"${DURATION}s" "${extra[@]}" "$1" | awk '/Requests\/sec/ {print $2}'
}
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "servers on cores $SERVER_CPUS, wrk on cores $CLIENT_CPUS; medians of $ROUNDS rounds of ${DURATION} s; $(uptime)"
printf '%-34s %14s %14s %8s  %s\n' "$THREADS threads, $CONNECTIONS connections" "service req/s" "nginx req/s" "ratio" "goal"
for row in "direct link (300 KB PNG)|$LINK.png||0.92" "short-link page|$LINK||1.00" \
           "upload (300 KB PNG)|/post_file2|$WORK/upload.lua|"; do
  IFS='|' read -r label path script goal <<<"$row"
  ss=(); ns=()
  for _ in $(seq "$ROUNDS"); do
    ss+=("$(rate "http://127.0.0.1:$SPORT$path" "$script")")
    ns+=("$(rate "http://127.0.0.1:$NPORT$path" "$script")")
  done
  s=$(echo "${ss[*]}" | median); n=$(echo "${ns[*]}" | median)
  r=$(python3 -c "print('%.2f' % ($s / $n))" 2>/dev/null || echo '-')
  verdict="none"
  [ -n "$goal" ] && verdict=">= $goal $(python3 -c "print('PASS' if '$r' != '-' and float('$r') >= $goal else 'MISS')")"
  printf '%-34s %14s %14s %8s  %s\n' "$label" "$s" "$n" "$r" "$verdict"
  echo "    rounds: service ${ss[*]}; nginx ${ns[*]}"
done
echo "(nginx reads and drops the upload bodies; the service stores each one)"
