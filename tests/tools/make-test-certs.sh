#!/usr/bin/env bash
# Makes throw-away certificates for the tests; none of them is ever committed.
#
#   make-test-certs.sh OUT_DIR HOST      the local package host's:
#     ca.pem ca.der                  a test CA (to be trusted inside a test prefix only)
#     server.pem server.key          signed by it, for HOST, untrusted.HOST and
#                                    127.0.0.1
#     untrusted.pem untrusted.key    the same names, signed by a second CA that
#                                    nobody trusts
#
#   make-test-certs.sh --code-signing OUT_DIR      for signing the setup:
#     ca.pem                         a test code-signing CA
#     signer.pfx                     a code-signing certificate from it, with
#                                    its key and the CA
#     server.pfx                     the same, but for TLS servers only
#   The PFX files are locked with QUELLMARK_SIGN_PASSWORD.
set -euo pipefail
usage="usage: make-test-certs.sh OUT_DIR HOST | make-test-certs.sh --code-signing OUT_DIR"
if [ "${1:-}" = --code-signing ]; then
  mode=code-signing
  out=${2:?$usage}
  : "${QUELLMARK_SIGN_PASSWORD?QUELLMARK_SIGN_PASSWORD must hold the password for the PFX files}"
else
  mode=package-host
  out=${1:?$usage}
  host=${2:?$usage}
fi
mkdir -p "$out"
cd "$out"

make_ca() {  # name, subject
  openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 30 \
    -keyout "$1.key" -out "$1.pem" -subj "/CN=$2" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
}

make_leaf() {  # name, signing CA, subject, extensions
  printf '%s\n' "$4" >"$1.ext"
  openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$1.key" -out "$1.csr" \
    -subj "/CN=$3" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial \
    -days 30 -sha256 -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  rm -f "$1.csr" "$1.ext"
}

if [ "$mode" = code-signing ]; then
  make_ca ca "Quellmark Test Code Signing CA"
  make_leaf signer ca "Quellmark Hearth" "basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning"
  make_leaf server ca "Quellmark Hearth" "basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth"
  for name in signer server; do
    QUELLMARK_SIGN_PASSWORD=$QUELLMARK_SIGN_PASSWORD openssl pkcs12 -export \
      -inkey "$name.key" -in "$name.pem" -certfile ca.pem \
      -passout env:QUELLMARK_SIGN_PASSWORD -out "$name.pfx"
    rm -f "$name.key" "$name.pem"
  done
  rm -f ca.key ca.srl
  exit 0
fi

servers="basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:$host,DNS:untrusted.$host,IP:127.0.0.1"
make_ca ca "Quellmark Test Package CA"
make_ca stranger-ca "Untrusted Test CA"
make_leaf server ca "$host" "$servers"
make_leaf untrusted stranger-ca "$host" "$servers"
openssl x509 -in ca.pem -outform DER -out ca.der
