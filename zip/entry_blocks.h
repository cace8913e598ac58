#pragma once
#include <cstddef>

// An entry's data goes to its decoder in blocks of this size, counted from
// the data's first byte, whether it is read from the package file or taken
// from the download: a damaged entry then leaves the same bytes on disk
// either way, and Cancel is honoured between the same blocks.
inline constexpr std::size_t entry_block_size = 65536;
