#include "platform/platform.h"

#include <aclapi.h>
#include <sddl.h>

namespace platform {
namespace {

// Owner Administrators; the access list protected, so nothing granted on a
// folder above (a "C:\Games" that users may write to) flows in.
const char* text_of(AccessList list) {
    switch (list) {
        case AccessList::install_folder:
            // Users read and execute everywhere below. Authenticated Users
            // modify what is made below (inherit only) and may add files and
            // folders to the folder itself, which they can neither delete,
            // rename nor re-grant.
            return "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
                   "(A;OICIIO;0x1301bf;;;AU)(A;;0x100006;;;AU)";
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

bool protect_install_folder(std::intptr_t folder) {
    AccessDescriptor access(AccessList::install_folder);
    if (!access.built()) return false;
    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL defaulted = FALSE;
    BOOL present = FALSE;
    if (!GetSecurityDescriptorOwner(access.security_descriptor(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(access.security_descriptor(), &present, &list, &defaulted) ||
        !owner || !present || !list) {
        return false;
    }
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION;
    return SetSecurityInfo(reinterpret_cast<HANDLE>(folder), SE_FILE_OBJECT, parts, owner, nullptr,
                           list, nullptr) == ERROR_SUCCESS;
}

}  // namespace platform
