#!/usr/bin/env bash
# Starts or stops the local package host: an HTTPS server for the package
# host name of a base URL, a second one whose certificate nobody trusts, and
# a CONNECT proxy that maps the names to them. Everything listens on
# 127.0.0.1 only.
#
#   package-host.sh start STATE_DIR --base-url URL [--prefix-tool EXE] [--max-seconds N]
#                   [--rate MBPS] [--cuts N]
#   package-host.sh stop STATE_DIR
#
# start serves STATE_DIR/root (created empty if missing: put QuellmarkFull.zip
# under the base URL's path there) and writes into STATE_DIR:
#   certs/                      test CA and server certificates (made once)
#   host.env                    HOST, HTTPS_PORT, UNTRUSTED_PORT, PROXY_PORT,
#                               CLOSED_PORT (nothing listens there),
#                               PROXY (http://127.0.0.1:PORT), CA
#   host.log proxy.log          one line per request / per tunnel
#   bodies.log                  one line per body sent, with its bytes
# While STATE_DIR/prefix exists, the trusted server puts the control prefixes
# it holds (such as /_silent/, see package_server.py) before every request path:
# that is how a test makes the setup's fixed URL meet a misbehaving host.
# A package's signature (NAME.sig) is served from its file, or made by the
# trusted server with the repository's development key when there is none.
# Names the proxy knows: HOST (the trusted server) and untrusted.HOST (the
# server whose certificate comes from a CA that nobody trusts).
#
# With --prefix-tool (the prefix_network.exe of the Windows build), start also
# trusts the test CA and sets the proxy in the Wine prefix that
# tools/wine-run.sh uses (QUELLMARK_WINEPREFIX, else build/windows/wineprefix);
# stop undoes both. --max-seconds makes the servers exit by themselves after
# that long, in case nobody stops them. --rate and --cuts go to the trusted
# server (see package_server.py): they pace its bodies and cut its first ones.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tools=$(cd "$here/../../tools" && pwd)
wine_run=$tools/wine-run.sh keys=$tools/keys

usage() {
  echo "usage: package-host.sh start STATE_DIR --base-url URL [--prefix-tool EXE] [--max-seconds N]" >&2
  echo "                          [--rate MBPS] [--cuts N]" >&2
  echo "       package-host.sh stop STATE_DIR" >&2
  exit 2
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

wait_for_file() {
  for _ in $(seq 100); do
    [ -s "$1" ] && return 0
    sleep 0.05
  done
  echo "package-host: $1 did not appear" >&2
  return 1
}

# Starts a server detached from this shell (its own session, no shared
# pipes), so the caller may exit while it runs.
launch() {
  local name=$1
  shift
  setsid python3 "$@" </dev/null >"$state/$name.out" 2>&1 &
  echo $! >"$state/$name.pid"
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

start() {
  local base_url="" tool="" max_seconds=0 rate=0 cuts=0
  while [ $# -gt 0 ]; do
    case $1 in
      --rate) rate=$2; shift 2 ;;
      --cuts) cuts=$2; shift 2 ;;
      --base-url) base_url=$2; shift 2 ;;
      --prefix-tool) tool=$2; shift 2 ;;
      --max-seconds) max_seconds=$2; shift 2 ;;
      *) usage ;;
    esac
  done
  [ -n "$base_url" ] || usage
  local host
  host=$(sed -E 's#^[a-zA-Z]+://([^/:]+).*#\1#' <<<"$base_url" | tr 'A-Z' 'a-z')

  stop_servers
  mkdir -p "$state/root"
  [ -s "$state/certs/server.pem" ] && [ "$(cat "$state/certs/host" 2>/dev/null)" = "$host" ] || {
    rm -rf "$state/certs"
    bash "$here/make-test-certs.sh" "$state/certs" "$host"
    echo "$host" >"$state/certs/host"
  }
  # The key of another publisher, for packages that the setup must refuse.
  [ -s "$state/certs/other-package.pem" ] ||
    openssl ecparam -name prime256v1 -genkey -noout -out "$state/certs/other-package.pem"
  rm -f "$state"/*.port "$state/prefix"
  : >"$state/host.log"
  : >"$state/proxy.log"
  : >"$state/bodies.log"

  local certs=$state/certs
  launch host "$here/package_server.py" --root "$state/root" --cert "$certs/server.pem" \
    --key "$certs/server.key" --port-file "$state/https.port" --log "$state/host.log" \
    --max-seconds "$max_seconds" --prefix-file "$state/prefix" --rate "$rate" --cuts "$cuts" \
    --body-log "$state/bodies.log" --sign-key "$keys/dev-package.pem" \
    --other-key "$state/certs/other-package.pem"
  launch untrusted "$here/package_server.py" --root "$state/root" --cert "$certs/untrusted.pem" \
    --key "$certs/untrusted.key" --port-file "$state/untrusted.port" --log "$state/host.log" \
    --max-seconds "$max_seconds"
  wait_for_file "$state/https.port"
  wait_for_file "$state/untrusted.port"
  local https_port untrusted_port closed_port proxy_port
  https_port=$(cat "$state/https.port")
  untrusted_port=$(cat "$state/untrusted.port")
  closed_port=$(free_port)
  launch proxy "$here/connect_proxy.py" --map "$host=127.0.0.1:$https_port" \
    --map "untrusted.$host=127.0.0.1:$untrusted_port" \
    --port-file "$state/proxy.port" --log "$state/proxy.log" --max-seconds "$max_seconds"
  wait_for_file "$state/proxy.port"
  proxy_port=$(cat "$state/proxy.port")

  cat >"$state/host.env" <<EOF
HOST=$host
HTTPS_PORT=$https_port
UNTRUSTED_PORT=$untrusted_port
CLOSED_PORT=$closed_port
PROXY_PORT=$proxy_port
PROXY=http://127.0.0.1:$proxy_port
CA=$certs/ca.pem
EOF

  if [ -n "$tool" ]; then
    echo "$tool" >"$state/prefix-tool"
    # Both steps may run twice. A Wine program started just after the
    # prefix's server was ended can fail before it runs; one failed once in
    # a whole test run, so a failure is tried again before the servers go.
    local try
    for try in 1 2 3; do
      "$wine_run" "$tool" trust "$(windows_path "$certs/ca.der")" \
        proxy "127.0.0.1:$proxy_port" && break
      echo "package-host: setting up the prefix failed (try $try of 3)" >&2
      [ "$try" -lt 3 ] || { stop_servers; return 1; }
      sleep 1
    done
  fi
  echo "package host for $host: https on 127.0.0.1:$https_port, proxy $(grep ^PROXY= "$state/host.env" | cut -d= -f2)"
}

# Alive and not a zombie (an orphan's exit status may never be collected).
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

stop_servers() {
  local name pid
  for name in proxy host untrusted; do
    [ -f "$state/$name.pid" ] || continue
    pid=$(cat "$state/$name.pid")
    # Only a process that is still our server: pids get reused.
    if grep -q "python" "/proc/$pid/cmdline" 2>/dev/null; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do running "$pid" || break; sleep 0.05; done
    fi
    rm -f "$state/$name.pid"
  done
}

stop() {
  stop_servers
  if [ -f "$state/prefix-tool" ]; then
    "$wine_run" "$(cat "$state/prefix-tool")" noproxy \
      distrust "$(windows_path "$state/certs/ca.der")"
    rm -f "$state/prefix-tool"
  fi
  rm -f "$state"/*.port
}

[ $# -ge 2 ] || usage
command=$1
state=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
case $command in
  start) start "$@" ;;
  stop) [ $# -eq 0 ] || usage; stop ;;
  *) usage ;;
esac
