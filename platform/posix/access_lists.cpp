#include "platform/platform.h"

namespace platform {

// Off Windows the files keep the system's default permissions: nothing here
// runs elevated later.
struct AccessDescriptor::Built {};

AccessDescriptor::AccessDescriptor(AccessList) {}
AccessDescriptor::~AccessDescriptor() = default;
bool AccessDescriptor::built() const { return true; }
void* AccessDescriptor::security_attributes() { return nullptr; }
void* AccessDescriptor::security_descriptor() const { return nullptr; }
std::string AccessDescriptor::text() const { return {}; }

bool protect_install_folder(std::intptr_t) { return true; }

}  // namespace platform
