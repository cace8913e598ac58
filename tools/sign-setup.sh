#!/usr/bin/env bash
# Signs the setup in place with Authenticode (osslsigncode, SHA-256 file
# digest), as a publisher does before shipping it.
#
#   QUELLMARK_SIGN_PASSWORD=... sign-setup.sh EXE PFX
#
# PFX is the publisher's PKCS#12 file: a code-signing certificate, its key
# and, best, the chain up to its CA. Its password comes from
# QUELLMARK_SIGN_PASSWORD only, never from the command line, and reaches the
# tools through a file only this user can read, removed afterwards. When
# QUELLMARK_TIMESTAMP_URL names an RFC 3161 time-stamping service, the
# signature is time-stamped there, so it stays valid after the certificate
# expires; without it no time stamp is asked for (the tests run offline).
#
# The file is left as it was when anything is wrong: no such file, a password
# that does not open the PFX, a certificate that is not for code signing or
# has expired, or a failed signing or time-stamping.
set -euo pipefail

fail() {
  echo "sign-setup.sh: $*" >&2
  exit 1
}

[ $# -eq 2 ] || { echo "usage: QUELLMARK_SIGN_PASSWORD=... sign-setup.sh EXE PFX" >&2; exit 2; }
exe=$1
pfx=$2
[ -f "$exe" ] || fail "no such file: $exe"
[ -f "$pfx" ] || fail "no such file: $pfx"
[ -n "${QUELLMARK_SIGN_PASSWORD+set}" ] || fail "QUELLMARK_SIGN_PASSWORD is not set; it holds the password of $pfx"
command -v osslsigncode >/dev/null || fail "osslsigncode is missing (tools/install-deps.sh installs it)"

work=$(mktemp -d)
signed="$exe.signing"
trap 'rm -rf "$work"; rm -f "$signed"' EXIT
(umask 077 && printf '%s\n' "$QUELLMARK_SIGN_PASSWORD" >"$work/password")

# The certificate that goes with the key; older PFX files need the legacy
# ciphers to open.
if ! openssl pkcs12 -in "$pfx" -passin file:"$work/password" -nokeys -clcerts \
    -out "$work/cert.pem" 2>/dev/null &&
  ! openssl pkcs12 -legacy -in "$pfx" -passin file:"$work/password" -nokeys -clcerts \
    -out "$work/cert.pem" 2>/dev/null; then
  fail "QUELLMARK_SIGN_PASSWORD does not open $pfx (wrong password, or not a PKCS#12 file)"
fi
grep -q 'BEGIN CERTIFICATE' "$work/cert.pem" || fail "$pfx holds no certificate for its key"

subject=$(openssl x509 -in "$work/cert.pem" -noout -subject -nameopt oneline | sed "s/^subject= *//")
usage=$(openssl x509 -in "$work/cert.pem" -noout -ext extendedKeyUsage 2>/dev/null || true)
grep -q 'Code Signing' <<<"$usage" ||
  fail "the certificate of $pfx is not for code signing (no Code Signing extended key usage): $subject"
key_usage=$(openssl x509 -in "$work/cert.pem" -noout -ext keyUsage 2>/dev/null || true)
if [ -n "$key_usage" ] && ! grep -q 'Digital Signature' <<<"$key_usage"; then
  fail "the certificate of $pfx may not make digital signatures (key usage): $subject"
fi
openssl x509 -in "$work/cert.pem" -noout -checkend 0 >/dev/null ||
  fail "the certificate of $pfx has expired: $subject"

args=(sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256
  -n "The Annals of Quellmark Setup")
stamp="not time-stamped (QUELLMARK_TIMESTAMP_URL is not set)"
if [ -n "${QUELLMARK_TIMESTAMP_URL:-}" ]; then
  args+=(-ts "$QUELLMARK_TIMESTAMP_URL")
  stamp="time-stamped by $QUELLMARK_TIMESTAMP_URL"
fi
if ! osslsigncode "${args[@]}" -in "$exe" -out "$signed" >"$work/log" 2>&1; then
  cat "$work/log" >&2
  fail "osslsigncode could not sign $exe"
fi
chmod --reference="$exe" "$signed"
mv -f "$signed" "$exe"
echo "signed $exe (SHA-256) as $subject; $stamp"
