#pragma once
// Whoever reads the package's directory from its tail before the body is
// fetched, and may then take the body's blocks as they arrive.
#include <cstdint>
#include <string>

#include "download/block_consumer.h"

class PackageDirectory {
public:
    enum class Answer {
        ready,          // read and checked: consumer() takes the body
        need_more,      // the bytes from need_from on are needed as well
        cannot_follow,  // the body is fetched whole and handed to no one
        refused,        // the download stops before the body; error_message stands
    };

    // The package is package_size bytes; tail holds its bytes from
    // tail_offset to its end (the package file holds none of them yet).
    virtual Answer read_directory(std::uint64_t package_size, std::uint64_t tail_offset,
                                  const std::string& tail, std::uint64_t& need_from,
                                  std::string& error_message) = 0;
    // The body's consumer once the directory is ready; null before.
    virtual BlockConsumer* consumer() = 0;

protected:
    ~PackageDirectory() = default;
};
