#include "platform/platform.h"

#include <sddl.h>

namespace platform {
namespace {

// Owner Administrators; the access list protected, so nothing granted on a
// folder above (a "C:\Games" that users may write to) flows in.
const char* text_of(AccessList list) {
    switch (list) {
        case AccessList::install_folder:
            // Users read and execute everywhere below and may add files and
            // folders to this folder and every folder below it. Full control
            // of an entry goes to whoever made it (CREATOR OWNER, inherit
            // only), so a user owns what they add and nothing the setup made,
            // which stays Administrators'.
            return "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
                   "(A;OICIIO;FA;;;CO)(A;CI;0x100006;;;AU)";
        case AccessList::uninstaller:
            return "O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
        case AccessList::manifest:
            return "O:BAD:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)";
    }
    return "";
}

}  // namespace

struct AccessDescriptor::Built {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes = {};
};

AccessDescriptor::AccessDescriptor(AccessList list) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text_of(list), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        return;
    }
    built_ = new Built;
    built_->descriptor = descriptor;
    built_->attributes.nLength = sizeof built_->attributes;
    built_->attributes.lpSecurityDescriptor = descriptor;
    built_->attributes.bInheritHandle = FALSE;
}

AccessDescriptor::~AccessDescriptor() {
    if (!built_) return;
    LocalFree(built_->descriptor);
    delete built_;
}

bool AccessDescriptor::built() const { return built_ != nullptr; }

void* AccessDescriptor::security_attributes() {
    return built_ ? &built_->attributes : nullptr;
}

void* AccessDescriptor::security_descriptor() const {
    return built_ ? built_->descriptor : nullptr;
}

std::string AccessDescriptor::text() const {
    if (!built_) return {};
    char* text = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(built_->descriptor, SDDL_REVISION_1,
                                                              parts, &text, nullptr)) {
        return {};
    }
    std::string result = text;
    LocalFree(text);
    return result;
}

// The descriptor goes onto the folder's own handle and nowhere else: the
// calls that set a file's security by its type (SetSecurityInfo and its
// named sibling) also rewrite what every existing child inherits, which
// through a hard link a user placed inside would re-grant a file elsewhere
// on the system. New entries inherit from the list when they are made.
bool protect_install_folder(const FolderHandle& folder) {
    if (!folder) return false;
    AccessDescriptor access(AccessList::install_folder);
    if (!access.built()) return false;
    // The descriptor's own control carries the protection of its list.
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    return SetKernelObjectSecurity(reinterpret_cast<HANDLE>(folder.get()), parts,
                                   access.security_descriptor()) != FALSE;
}

}  // namespace platform
