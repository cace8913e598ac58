#include "tests/zip/zip_writer.h"

#include <algorithm>
#include <stdexcept>

#include <zlib.h>

namespace zip_test {

std::string deflate_raw(const std::string& data, int level) {
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

std::string deflate_raw_flushed(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FULL_FLUSH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_OK || stream.avail_in != 0) throw std::runtime_error("deflate flush");
    return out;
}

std::string deflate_zeros(std::uint64_t size) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    const std::string zeros(1u << 20, '\0');
    std::string out;
    std::string buffer(1u << 16, '\0');
    for (std::uint64_t left = size;;) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
        left -= piece;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
        stream.avail_in = static_cast<uInt>(piece);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int result = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(&buffer[0]);
            stream.avail_out = static_cast<uInt>(buffer.size());
            result = deflate(&stream, flush);
            out.append(buffer, 0, buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
        if (left == 0) {
            deflateEnd(&stream);
            if (result != Z_STREAM_END) throw std::runtime_error("deflate zeros");
            return out;
        }
    }
}

void put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
void put64(std::string& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value));
    put32(out, static_cast<std::uint32_t>(value >> 32));
}
void poke32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    std::string field;
    put32(field, value);
    bytes.replace(offset, 4, field);
}

namespace {

std::string encoded_payload(const Entry& entry) {
    if (entry.use_payload) return entry.payload;
    return entry.method == 8 ? deflate_raw(entry.data) : entry.data;
}

std::uint32_t crc_of(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Sizes {
    std::uint64_t compressed;
    std::uint64_t uncompressed;
};

void write_local_header(std::string& out, const Entry& entry, const Sizes& sizes,
                        std::uint32_t crc) {
    const bool later = entry.data_descriptor;
    put32(out, 0x04034B50);
    put16(out, entry.zip64 ? 45 : 20);
    put16(out, entry.flags | (later ? 0x0008 : 0));
    put16(out, entry.method);
    put16(out, 0);
    put16(out, 0x21);
    put32(out, later ? 0 : crc);
    put32(out, later ? 0 : entry.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(sizes.compressed));
    put32(out, later ? 0 : entry.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(sizes.uncompressed));
    put16(out, static_cast<std::uint32_t>(entry.name.size()));
    put16(out, static_cast<std::uint32_t>(entry.local_extra.size()));
    out += entry.name;
    out += entry.local_extra;
}

void write_directory_header(std::string& out, const Entry& entry, const Sizes& sizes,
                            std::uint32_t crc, std::uint64_t local_offset) {
    std::string extra = entry.extra_before;
    if (entry.zip64 && entry.zip64_extra) {
        put16(extra, 0x0001);
        put16(extra, 24);
        put64(extra, sizes.uncompressed);
        put64(extra, sizes.compressed);
        put64(extra, local_offset);
    }
    put32(out, 0x02014B50);
    put16(out, 0x031E);
    put16(out, entry.zip64 ? 45 : 20);
    put16(out, entry.flags | (entry.data_descriptor ? 0x0008 : 0));
    put16(out, entry.method);
    put16(out, 0);
    put16(out, 0x21);
    put32(out, crc);
    put32(out, entry.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(sizes.compressed));
    put32(out, entry.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(sizes.uncompressed));
    put16(out, static_cast<std::uint32_t>(entry.name.size()));
    put16(out, static_cast<std::uint32_t>(extra.size()));
    put16(out, static_cast<std::uint32_t>(entry.comment.size()));
    put16(out, 0);
    put16(out, 0);
    put32(out, 0);
    put32(out, entry.zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(local_offset));
    out += entry.name;
    out += extra;
    out += entry.comment;
}

void write_end_records(std::string& out, const Options& options, std::uint64_t count,
                       std::uint64_t directory, std::uint64_t directory_size, Layout& layout) {
    if (options.override_count) count = options.count;
    if (options.zip64_end) {
        layout.zip64_end = out.size();
        put32(out, 0x06064B50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, count);
        put64(out, count);
        put64(out, directory_size);
        put64(out, directory);
        if (options.write_locator) {
            layout.locator = out.size();
            put32(out, 0x07064B50);
            put32(out, 0);
            put64(out, layout.zip64_end);
            put32(out, 1);
        }
    }
    const bool sat_count = options.zip64_end && options.saturate_count;
    const bool sat_offset = options.zip64_end && options.saturate_offset;
    const std::uint32_t classic_count = sat_count ? 0xFFFF : static_cast<std::uint32_t>(count & 0xFFFF);
    layout.end_record = out.size();
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, classic_count);
    put16(out, classic_count);
    put32(out, static_cast<std::uint32_t>(directory_size));
    put32(out, sat_offset ? 0xFFFFFFFFu : static_cast<std::uint32_t>(directory));
    put16(out, static_cast<std::uint32_t>(options.comment.size()));
    out += options.comment;
}

}  // namespace

std::string build_zip(const std::vector<Entry>& entries, const Options& options, Layout* layout_out) {
    Layout layout;
    std::string out = options.prefix;
    std::vector<Sizes> sizes;
    std::vector<std::uint32_t> crcs;
    for (const Entry& entry : entries) {
        const std::string payload = encoded_payload(entry);
        Sizes size{payload.size(), entry.data.size()};
        if (entry.override_compressed_size) size.compressed = entry.compressed_size;
        if (entry.override_uncompressed_size) size.uncompressed = entry.uncompressed_size;
        layout.local_headers.push_back(out.size());
        crcs.push_back(entry.override_crc ? entry.crc : crc_of(entry.data));
        write_local_header(out, entry, size, crcs.back());
        out += payload;
        if (entry.data_descriptor) {
            put32(out, 0x08074B50);
            put32(out, crcs.back());
            if (entry.zip64) {
                put64(out, size.compressed);
                put64(out, size.uncompressed);
            } else {
                put32(out, static_cast<std::uint32_t>(size.compressed));
                put32(out, static_cast<std::uint32_t>(size.uncompressed));
            }
        }
        sizes.push_back(size);
    }
    layout.directory = out.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        layout.directory_headers.push_back(out.size());
        write_directory_header(out, entries[i], sizes[i], crcs[i], layout.local_headers[i]);
    }
    write_end_records(out, options, entries.size(), layout.directory, out.size() - layout.directory,
                      layout);
    if (layout_out) *layout_out = layout;
    return out;
}

Entry stored(const std::string& name, const std::string& data) {
    Entry entry;
    entry.name = name;
    entry.data = data;
    return entry;
}

Entry deflated(const std::string& name, const std::string& data) {
    Entry entry = stored(name, data);
    entry.method = 8;
    return entry;
}

Entry folder(const std::string& name) { return stored(name, ""); }

std::string noise(std::size_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& c : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

std::string repetitive(std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) out[i] = "quellmark "[i % 10];
    return out;
}

}  // namespace zip_test
