#pragma once
// Whether the publisher signed a statement: the key is fixed when the setup
// is built (QUELLMARK_PACKAGE_PUBLIC_KEY).
#include <array>

#include "download/sha256.h"

// True when signature (r then s) is the publisher's ECDSA P-256 signature of
// digest, as the system's cryptography provider judges it.
bool publisher_signed(const Sha256Digest& digest, const std::array<unsigned char, 64>& signature);
