#pragma once
// Widening of saturated 32-bit header values from the Zip64 extra field.
#include <cstddef>

#include "zip/zip_entry.h"

// Walks the extra field of one central directory header and, from the first
// Zip64 field onwards, replaces each of uncompressed size, compressed size and
// local header offset (in that order) that is still 0xFFFFFFFF by the next
// 8 bytes of the field, while they fit inside it. A field that claims more
// bytes than the extra data holds ends the walk; nothing here is an error.
void widen_from_zip64_extra(const unsigned char* extra, std::size_t extra_length, ZipEntry& entry);
