#include "records/mapped_image.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

// Larger than any setup this program ships; a bigger file is not it.
constexpr std::uint64_t largest_image_file = 256u << 20;

#ifdef _WIN64
constexpr WORD address_fixup = IMAGE_REL_BASED_DIR64;
#else
constexpr WORD address_fixup = IMAGE_REL_BASED_HIGHLOW;
#endif

bool read_whole(std::FILE* file, std::vector<unsigned char>& bytes) {
    if (!platform::seek_to_end(file)) return false;
    const std::int64_t size = platform::tell(file);
    if (size <= 0 || static_cast<std::uint64_t>(size) > largest_image_file ||
        !platform::seek_to(file, 0)) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    return std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// The file's view of the image: its headers and sections, read once.
class ImageFile {
public:
    explicit ImageFile(std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    bool parse() {
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER)) return false;
        IMAGE_DOS_HEADER dos;
        std::memcpy(&dos, bytes_.data(), sizeof dos);
        if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0) return false;
        nt_offset_ = static_cast<std::size_t>(dos.e_lfanew);
        if (!fits(nt_offset_, sizeof(IMAGE_NT_HEADERS))) return false;
        std::memcpy(&nt_, bytes_.data() + nt_offset_, sizeof nt_);
        if (nt_.Signature != IMAGE_NT_SIGNATURE ||
            nt_.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) {
            return false;
        }
        const std::size_t sections_offset = nt_offset_ + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                                            nt_.FileHeader.SizeOfOptionalHeader;
        const std::size_t count = nt_.FileHeader.NumberOfSections;
        if (!fits(sections_offset, count * sizeof(IMAGE_SECTION_HEADER)) ||
            !fits(0, nt_.OptionalHeader.SizeOfHeaders)) {
            return false;
        }
        sections_.resize(count);
        std::memcpy(sections_.data(), bytes_.data() + sections_offset,
                    count * sizeof(IMAGE_SECTION_HEADER));
        return true;
    }

    const IMAGE_NT_HEADERS& nt() const { return nt_; }
    const std::vector<IMAGE_SECTION_HEADER>& sections() const { return sections_; }
    std::size_t image_base_offset() const {
        return nt_offset_ + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
               offsetof(IMAGE_OPTIONAL_HEADER, ImageBase);
    }

    // The file offset of an address relative to the image's base, where
    // length bytes from it lie in one section's data; false elsewhere.
    bool offset_of(std::uint32_t rva, std::size_t length, std::size_t& offset) const {
        for (const IMAGE_SECTION_HEADER& section : sections_) {
            if (rva >= section.VirtualAddress &&
                rva - section.VirtualAddress + length <= section.SizeOfRawData) {
                offset = section.PointerToRawData + (rva - section.VirtualAddress);
                return fits(offset, length);
            }
        }
        return false;
    }

    // Adds delta to every address the relocation table names, in the file's
    // bytes, as the loader did in memory.
    bool relocate(std::uintptr_t delta) {
        if (delta == 0) return true;
        if (nt_.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED) return false;
        const IMAGE_DATA_DIRECTORY table =
            nt_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
        std::size_t position = 0;
        if (table.Size == 0 || !offset_of(table.VirtualAddress, table.Size, position)) return false;
        const std::size_t end = position + table.Size;
        while (position + sizeof(IMAGE_BASE_RELOCATION) <= end) {
            IMAGE_BASE_RELOCATION block;
            std::memcpy(&block, bytes_.data() + position, sizeof block);
            if (block.SizeOfBlock < sizeof block || position + block.SizeOfBlock > end) return false;
            const std::size_t entries = (block.SizeOfBlock - sizeof block) / sizeof(WORD);
            for (std::size_t i = 0; i < entries; ++i) {
                WORD entry;
                std::memcpy(&entry, bytes_.data() + position + sizeof block + i * sizeof entry,
                            sizeof entry);
                const WORD type = entry >> 12;
                if (type == IMAGE_REL_BASED_ABSOLUTE) continue;
                if (type != address_fixup) return false;
                std::size_t at = 0;
                if (!offset_of(block.VirtualAddress + (entry & 0xFFF), sizeof(std::uintptr_t), at)) {
                    continue;  // in a section without file data: nothing to compare there
                }
                std::uintptr_t value;
                std::memcpy(&value, bytes_.data() + at, sizeof value);
                value += delta;
                std::memcpy(bytes_.data() + at, &value, sizeof value);
            }
            position += block.SizeOfBlock;
        }
        return true;
    }

private:
    bool fits(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::vector<unsigned char>& bytes_;
    std::size_t nt_offset_ = 0;
    IMAGE_NT_HEADERS nt_ = {};
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

}  // namespace

bool file_is_mapped_image(std::FILE* file, const void* image) {
    std::vector<unsigned char> bytes;
    if (!file || !image || !read_whole(file, bytes)) return false;
    ImageFile parsed(bytes);
    if (!parsed.parse()) return false;
    const auto* memory = static_cast<const unsigned char*>(image);
    const IMAGE_NT_HEADERS& nt = parsed.nt();
    const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(image);

    // The headers, but for the base the loader may write there once it
    // chose another.
    const std::size_t base_field = parsed.image_base_offset();
    const std::size_t headers = nt.OptionalHeader.SizeOfHeaders;
    if (base_field + sizeof(std::uintptr_t) > headers ||
        std::memcmp(bytes.data(), memory, base_field) != 0 ||
        std::memcmp(bytes.data() + base_field + sizeof(std::uintptr_t),
                    memory + base_field + sizeof(std::uintptr_t),
                    headers - base_field - sizeof(std::uintptr_t)) != 0) {
        return false;
    }
    std::uintptr_t mapped_base;
    std::memcpy(&mapped_base, memory + base_field, sizeof mapped_base);
    if (mapped_base != nt.OptionalHeader.ImageBase && mapped_base != base) return false;

    if (!parsed.relocate(base - static_cast<std::uintptr_t>(nt.OptionalHeader.ImageBase))) {
        return false;
    }
    for (const IMAGE_SECTION_HEADER& section : parsed.sections()) {
        if (section.Characteristics & IMAGE_SCN_MEM_WRITE) continue;
        std::size_t length = section.SizeOfRawData;
        if (section.Misc.VirtualSize != 0 && section.Misc.VirtualSize < length) {
            length = section.Misc.VirtualSize;
        }
        if (length == 0) continue;
        if (section.PointerToRawData > bytes.size() ||
            length > bytes.size() - section.PointerToRawData ||
            section.VirtualAddress + static_cast<std::uint64_t>(length) >
                nt.OptionalHeader.SizeOfImage ||
            std::memcmp(bytes.data() + section.PointerToRawData, memory + section.VirtualAddress,
                        length) != 0) {
            return false;
        }
    }
    return true;
}
