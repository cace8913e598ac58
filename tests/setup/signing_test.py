#!/usr/bin/env python3
"""The setup signed as a publisher signs it: tools/sign-setup.sh with
throw-away certificates that openssl makes here (a code-signing CA, a
code-signing certificate, and a TLS-server-only one), checked with
`osslsigncode verify` against that CA.

Usage: signing_test.py SETUP_EXE WORK_DIR [Test.name ...]

SigningSetup.test_a_signed_copy_verifies makes WORK_DIR/certs and the signed
copy WORK_DIR/QuellmarkSetup.exe, which the other cases and the end-to-end
install take (a CTest fixture); run it first when running cases by hand.
"""
import os
import secrets
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SIGN = os.path.join(ROOT, "tools", "sign-setup.sh")
SETUP_EXE = WORK = None


def certs(name=""):
    return os.path.join(WORK, "certs", name)


def signed_copy():
    return os.path.join(WORK, "QuellmarkSetup.exe")


def password():
    with open(certs("password")) as f:
        return f.read()


def read(path):
    with open(path, "rb") as f:
        return f.read()


def sign(exe, pfx, pass_word):
    env = dict(os.environ, QUELLMARK_SIGN_PASSWORD=pass_word)
    env.pop("QUELLMARK_TIMESTAMP_URL", None)
    return subprocess.run(["bash", SIGN, exe, pfx], env=env, capture_output=True, text=True,
                          timeout=120)


def verify(exe):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", certs("ca.pem"), "-in", exe],
                          capture_output=True, text=True, timeout=120)


class SigningSetup(unittest.TestCase):
    def scratch(self):
        folder = tempfile.mkdtemp(dir=WORK)
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        return folder

    def test_a_signed_copy_verifies(self):
        shutil.rmtree(certs(), ignore_errors=True)
        os.makedirs(certs())
        pass_word = secrets.token_hex(16)
        with open(os.open(certs("password"), os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(pass_word)
        subprocess.run(["bash", os.path.join(ROOT, "tests", "tools", "make-test-certs.sh"),
                        "--code-signing", certs()],
                       env=dict(os.environ, QUELLMARK_SIGN_PASSWORD=pass_word), check=True)
        shutil.copy(SETUP_EXE, signed_copy())

        signing = sign(signed_copy(), certs("signer.pfx"), pass_word)
        self.assertEqual(signing.returncode, 0, signing.stderr)
        checked = verify(signed_copy())
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertIn("Message digest algorithm  : SHA256", checked.stdout)

        # What a publisher's check rests on: without its signature, the
        # shipped file is the build, byte for byte.
        unsigned = os.path.join(self.scratch(), "unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", signed_copy(), "-out", unsigned],
                       capture_output=True, check=True, timeout=120)
        self.assertEqual(read(unsigned), read(SETUP_EXE))

    def test_one_flipped_byte_fails_verification(self):
        tampered = os.path.join(self.scratch(), "QuellmarkSetup.exe")
        body = bytearray(read(signed_copy()))
        body[len(body) // 2] ^= 0x01
        with open(tampered, "wb") as f:
            f.write(body)
        checked = verify(tampered)
        self.assertNotEqual(checked.returncode, 0, checked.stdout)
        self.assertIn("MISMATCH", checked.stdout)

    def test_refusals_leave_the_setup_unsigned(self):
        folder = self.scratch()
        exe = os.path.join(folder, "QuellmarkSetup.exe")
        shutil.copy(SETUP_EXE, exe)
        cases = [
            (os.path.join(folder, "missing.exe"), certs("signer.pfx"), password(),
             "no such file: " + os.path.join(folder, "missing.exe")),
            (exe, certs("missing.pfx"), password(), "no such file: " + certs("missing.pfx")),
            (exe, certs("signer.pfx"), password() + "x",
             "QUELLMARK_SIGN_PASSWORD does not open " + certs("signer.pfx")),
            (exe, certs("server.pfx"), password(), "is not for code signing"),
        ]
        for target, pfx, pass_word, message in cases:
            with self.subTest(message):
                signing = sign(target, pfx, pass_word)
                self.assertEqual(signing.returncode, 1)
                self.assertIn(message, signing.stderr)
                self.assertEqual(read(exe), read(SETUP_EXE))
                self.assertEqual(os.listdir(folder), ["QuellmarkSetup.exe"])


def main():
    global SETUP_EXE, WORK
    SETUP_EXE, WORK = sys.argv[1:3]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[3:])


if __name__ == "__main__":
    main()
