#include "zip/zip64_extra_field.h"

#include <cstdint>

#include "zip/little_endian.h"
#include "zip/zip_records.h"

namespace {

// Takes the next 8 bytes of the field for value when it is saturated and the
// bytes fit before field_end; the cursor moves only when a value was taken.
void widen_one(const unsigned char* extra, std::size_t& cursor, std::size_t field_end,
               std::uint64_t& value) {
    if (value != zip_record::saturated32) return;
    if (cursor + 8 > field_end) return;
    value = read_le64(extra, cursor);
    cursor += 8;
}

}  // namespace

void widen_from_zip64_extra(const unsigned char* extra, std::size_t extra_length, ZipEntry& entry) {
    namespace field = zip_record::extra_field;
    std::size_t position = 0;
    while (position + field::header_size <= extra_length) {
        const std::uint16_t tag = read_le16(extra, position + field::tag);
        const std::size_t data_start = position + field::header_size;
        const std::size_t data_end = data_start + read_le16(extra, position + field::data_size);
        if (data_end > extra_length) return;
        if (tag == field::zip64_tag) {
            std::size_t cursor = data_start;
            widen_one(extra, cursor, data_end, entry.uncompressed_size);
            widen_one(extra, cursor, data_end, entry.compressed_size);
            widen_one(extra, cursor, data_end, entry.local_header_offset);
        }
        position = data_end;
    }
}
