// The statement's parser under libFuzzer: any text gives a clean refusal or
// a statement whose chunk count fits its size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "download/package_statement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SignedStatement parsed;
    if (parse_signed_statement(std::string(reinterpret_cast<const char*>(data), size), parsed)) {
        const PackageStatement& statement = parsed.statement;
        const std::uint64_t chunks =
            statement.size / statement.chunk_bytes + (statement.size % statement.chunk_bytes != 0);
        if (chunks != statement.chunks.size()) std::abort();
    }
    return 0;
}
