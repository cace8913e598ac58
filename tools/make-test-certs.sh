#!/usr/bin/env bash
# Makes the throw-away certificates of the local package host:
#   ca.pem ca.der                  a test CA (to be trusted inside a test prefix only)
#   server.pem server.key          signed by it, for HOST, untrusted.HOST and
#                                  127.0.0.1
#   untrusted.pem untrusted.key    the same names, signed by a second CA that
#                                  nobody trusts
# Usage: make-test-certs.sh OUT_DIR HOST
set -euo pipefail
out=${1:?usage: make-test-certs.sh OUT_DIR HOST}
host=${2:?usage: make-test-certs.sh OUT_DIR HOST}
mkdir -p "$out"
cd "$out"

make_ca() {  # name, subject
  openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 30 \
    -keyout "$1.key" -out "$1.pem" -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

make_server() {  # name, signing CA
  cat >"$1.ext" <<EOF
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:$host,DNS:untrusted.$host,IP:127.0.0.1
EOF
  openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" \
    -subj "/CN=$host" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial \
    -days 30 -sha256 -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}

make_ca ca "Quellmark Test Package CA"
make_ca stranger-ca "Untrusted Test CA"
make_server server ca
make_server untrusted stranger-ca
openssl x509 -in ca.pem -outform DER -out ca.der
