#pragma once
// Whoever works on the package while it arrives (an extraction that runs
// behind the download). The download hands it every block once the block is
// in the package file, in file order; a block handed on is never taken back
// except by start_over.
#include <cstddef>
#include <cstdint>
#include <string>

class BlockConsumer {
public:
    // The size bytes at offset (from the start of the package) are in the
    // package file. False stops the download at once; error_message is then
    // the download's message.
    virtual bool take_block(std::uint64_t offset, const char* bytes, std::size_t size,
                            std::string& error_message) = 0;
    // The host now serves another package: every block handed on so far is
    // void, and the next block starts again at offset 0. False stops the
    // download as take_block does.
    virtual bool start_over(std::string& error_message) = 0;

protected:
    ~BlockConsumer() = default;
};
