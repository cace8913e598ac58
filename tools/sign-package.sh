#!/usr/bin/env bash
# Signs a game package for the setup: writes PACKAGE.sig beside PACKAGE,
# replacing an older one.
#
#   sign-package.sh PACKAGE [PRIVATE_KEY]
#
# PRIVATE_KEY is an EC P-256 private key in PEM, as
# `openssl ecparam -name prime256v1 -genkey -noout` writes it. Without it the
# repository's development key signs, which only a setup built with the
# development key accepts: never ship a package signed so.
#
# PACKAGE.sig is text: the statement, then its signature.
#   quellmark-package 1
#   file NAME                 the package's file name
#   size BYTES                its size
#   chunk BYTES               the chunk size
#   HEX                       SHA-256 of each consecutive chunk, one a line
#   ...
#   signature HEX             ECDSA P-256 over SHA-256 of every line above,
#                             r then s, 32 bytes each
# The setup checks the signature, then every chunk of the package as it
# arrives, before it uses any byte of it.
set -euo pipefail

chunk_bytes=1048576
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

fail() {
  echo "sign-package: $*" >&2
  exit 1
}

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: sign-package.sh PACKAGE [PRIVATE_KEY]" >&2; exit 2; }
package=$1
key=${2:-}
if [ -z "$key" ]; then
  key=$here/keys/dev-package.pem
  echo "sign-package: no key given: signing with the repository's development key ($key)." \
    "Only setups built with the development key accept it." >&2
fi

[ -f "$package" ] || fail "no package file at $package"
[ -r "$package" ] || fail "cannot read $package"
[ -f "$key" ] && [ -r "$key" ] || fail "cannot read the private key $key"
openssl pkey -in "$key" -noout -text 2>/dev/null | grep -q 'NIST CURVE: P-256' ||
  fail "$key is not an EC P-256 private key in PEM"

name=$(basename -- "$package")
[[ $name =~ ^[A-Za-z0-9._-]+$ ]] || fail "the package's file name '$name' has characters the statement cannot hold"
size=$(stat -L -c %s -- "$package")

# Everything is made in the package's own folder, so the finished signature
# replaces an older one in one rename and a failure leaves no partial one.
folder=$(dirname -- "$package")
work=$(mktemp -d "$folder/.sign-package.XXXXXX" 2>/dev/null) || fail "cannot write into $folder"
trap 'rm -rf -- "$work"' EXIT

{
  echo "quellmark-package 1"
  echo "file $name"
  echo "size $size"
  echo "chunk $chunk_bytes"
  split -b "$chunk_bytes" --filter='openssl dgst -sha256 -r | cut -d" " -f1' -- "$package" ||
    fail "cannot hash $package"
} >"$work/statement"

hashes=$(($(wc -l <"$work/statement") - 4))
[ "$hashes" -eq $(((size + chunk_bytes - 1) / chunk_bytes)) ] ||
  fail "$package changed while it was hashed"
[ "$(stat -L -c %s -- "$package")" -eq "$size" ] || fail "$package changed while it was hashed"

openssl dgst -sha256 -sign "$key" -out "$work/signature.der" "$work/statement" ||
  fail "openssl could not sign with $key"
# The DER form (two INTEGERs, minimal, with a sign byte) to r and s of 32
# bytes each, as the system's verifier takes them.
rs=$(openssl asn1parse -inform DER -in "$work/signature.der" |
  awk -F: '/INTEGER/ { v = tolower($NF); sub(/^(00)+/, "", v); while (length(v) < 64) v = "0" v; printf "%s", v }')
[[ $rs =~ ^[0-9a-f]{128}$ ]] || fail "openssl gave a signature of an unexpected form"

{ cat "$work/statement"; echo "signature $rs"; } >"$work/package.sig"
mv -f -- "$work/package.sig" "$package.sig" || fail "cannot write $package.sig"
echo "sign-package: signed $package ($size bytes) as $package.sig" >&2
