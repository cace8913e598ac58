#include "download/signature_check.h"

#include <windows.h>

#include <cstring>

#include "package_public_key.h"

// The system's cryptography provider, declared here to be reached through
// its import pointers, as the setup's own stubs provide them (the system
// header declares no import).
using BCRYPT_ALG_HANDLE = void*;
using BCRYPT_KEY_HANDLE = void*;
extern "C" {
__declspec(dllimport) LONG WINAPI BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm,
                                                              const wchar_t* name,
                                                              const wchar_t* implementation,
                                                              ULONG flags);
__declspec(dllimport) LONG WINAPI BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm,
                                                               ULONG flags);
__declspec(dllimport) LONG WINAPI BCryptImportKeyPair(BCRYPT_ALG_HANDLE algorithm,
                                                      BCRYPT_KEY_HANDLE import_key,
                                                      const wchar_t* blob_type,
                                                      BCRYPT_KEY_HANDLE* key, UCHAR* blob,
                                                      ULONG blob_size, ULONG flags);
__declspec(dllimport) LONG WINAPI BCryptDestroyKey(BCRYPT_KEY_HANDLE key);
__declspec(dllimport) LONG WINAPI BCryptVerifySignature(BCRYPT_KEY_HANDLE key, void* padding,
                                                        UCHAR* hash, ULONG hash_size,
                                                        UCHAR* signature, ULONG signature_size,
                                                        ULONG flags);
}

namespace {

// A P-256 public key as the provider takes it: this header, then X and Y.
struct EccKeyBlob {
    ULONG magic;
    ULONG key_bytes;
};
constexpr ULONG ecdsa_p256_public_magic = 0x31534345;  // "ECS1"

struct Provider {
    BCRYPT_ALG_HANDLE handle = nullptr;
    ~Provider() {
        if (handle) BCryptCloseAlgorithmProvider(handle, 0);
    }
};

struct Key {
    BCRYPT_KEY_HANDLE handle = nullptr;
    ~Key() {
        if (handle) BCryptDestroyKey(handle);
    }
};

}  // namespace

bool publisher_signed(const Sha256Digest& digest, const std::array<unsigned char, 64>& signature) {
    static_assert(sizeof package_public_key == 64, "X then Y of a P-256 point");
    unsigned char blob[sizeof(EccKeyBlob) + sizeof package_public_key];
    const EccKeyBlob header = {ecdsa_p256_public_magic, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, package_public_key, sizeof package_public_key);

    Provider provider;
    Key key;
    if (BCryptOpenAlgorithmProvider(&provider.handle, L"ECDSA_P256", nullptr, 0) !=
            0 ||
        BCryptImportKeyPair(provider.handle, nullptr, L"ECCPUBLICBLOB", &key.handle, blob,
                            sizeof blob, 0) != 0)
        return false;
    return BCryptVerifySignature(key.handle, nullptr, const_cast<unsigned char*>(digest.data()),
                                 static_cast<ULONG>(digest.size()),
                                 const_cast<unsigned char*>(signature.data()),
                                 static_cast<ULONG>(signature.size()), 0) == 0;
}
