// Points a Wine prefix at the local package host: trusts the test CA in the
// prefix's own Root store and sets the prefix's system proxy. Run inside the
// prefix (wine prefix_network.exe ...); it never touches anything outside it.
//
//   prefix_network COMMAND... where each COMMAND is one of
//     trust CA.der       add the CA to the current user's Root store
//     distrust CA.der    remove it again
//     proxy HOST:PORT    ProxyEnable=1, ProxyServer=HOST:PORT
//     noproxy            ProxyEnable=0, ProxyServer removed
//
// The commands run in order (one Wine start for all of them). Exit code 0 when
// all succeeded, 1 with a line on stderr at the first failure, 2 on bad usage.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr char internet_settings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

struct StoreOwner {
    HCERTSTORE store;
    ~StoreOwner() {
        if (store) CertCloseStore(store, 0);
    }
};

struct CertificateOwner {
    PCCERT_CONTEXT certificate;
    ~CertificateOwner() {
        if (certificate) CertFreeCertificateContext(certificate);
    }
};

struct KeyOwner {
    HKEY key = nullptr;
    ~KeyOwner() {
        if (key) RegCloseKey(key);
    }
};

bool read_bytes(const char* path, std::vector<BYTE>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !bytes.empty();
}

int fail(const char* what) {
    std::fprintf(stderr, "prefix_network: %s (error %lu)\n", what, GetLastError());
    return 1;
}

int trust(const char* der_path) {
    std::vector<BYTE> der;
    if (!read_bytes(der_path, der)) return fail("cannot read the certificate");
    if (!CertAddEncodedCertificateToSystemStoreA("Root", der.data(), static_cast<DWORD>(der.size())))
        return fail("cannot add the certificate to the Root store");
    return 0;
}

int distrust(const char* der_path) {
    std::vector<BYTE> der;
    if (!read_bytes(der_path, der)) return fail("cannot read the certificate");
    CertificateOwner wanted{CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                         static_cast<DWORD>(der.size()))};
    if (!wanted.certificate) return fail("not a DER certificate");
    // The registry part of the user's Root store, where trust put it; the
    // system store itself also shows the machine's roots.
    StoreOwner root{CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0,
                                  CERT_SYSTEM_STORE_CURRENT_USER, "Root")};
    if (!root.store) return fail("cannot open the Root store");
    PCCERT_CONTEXT found = CertFindCertificateInStore(root.store, X509_ASN_ENCODING, 0,
                                                      CERT_FIND_EXISTING, wanted.certificate, nullptr);
    if (!found) return 0;  // not trusted: nothing to undo
    // Deleting frees the context it is given.
    if (!CertDeleteCertificateFromStore(found)) return fail("cannot remove the certificate");
    return 0;
}

int set_proxy(const char* server) {
    KeyOwner settings;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, internet_settings, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &settings.key, nullptr) != ERROR_SUCCESS)
        return fail("cannot open the Internet settings");
    const DWORD enable = server ? 1 : 0;
    if (RegSetValueExA(settings.key, "ProxyEnable", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&enable), sizeof enable) != ERROR_SUCCESS)
        return fail("cannot set ProxyEnable");
    if (!server) {
        RegDeleteValueA(settings.key, "ProxyServer");
        return 0;
    }
    if (RegSetValueExA(settings.key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server),
                       static_cast<DWORD>(std::string(server).size() + 1)) != ERROR_SUCCESS)
        return fail("cannot set ProxyServer");
    return 0;
}

struct Step {
    std::string command;
    const char* argument;
};

// The command line as steps, or nothing when any word is not understood.
std::vector<Step> parse(int argc, char** argv) {
    std::vector<Step> steps;
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        if (command == "noproxy") {
            steps.push_back({command, nullptr});
        } else if ((command == "trust" || command == "distrust" || command == "proxy") &&
                   i + 1 < argc) {
            steps.push_back({command, argv[++i]});
        } else {
            return {};
        }
    }
    return steps;
}

int run(const Step& step) {
    if (step.command == "trust") return trust(step.argument);
    if (step.command == "distrust") return distrust(step.argument);
    return set_proxy(step.argument);  // proxy, or noproxy with no server
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Step> steps = parse(argc, argv);
    if (steps.empty()) {
        std::fprintf(stderr, "usage: prefix_network {trust CA.der | distrust CA.der | "
                             "proxy HOST:PORT | noproxy}...\n");
        return 2;
    }
    for (const Step& step : steps) {
        if (run(step) != 0) return 1;
    }
    return 0;
}
