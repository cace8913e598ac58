#include "zip/streamed_extraction.h"

#include <algorithm>

#include "zip/entry_decoder.h"
#include "zip/entry_steps.h"

StreamedExtraction::StreamedExtraction(std::vector<ZipEntry> entries,
                                       InstallFolder& install_folder, std::FILE* package,
                                       std::string package_name, StepReport& report)
    : entries_(std::move(entries)),
      package_(package),
      package_name_(std::move(package_name)),
      report_(report),
      folders_(install_folder) {
    // Only file entries are read; their headers must come in directory order.
    bool first = true;
    std::uint64_t last = 0;
    for (const ZipEntry& entry : entries_) {
        if (!is_file_entry(entry)) continue;
        if (!first && entry.local_header_offset <= last) following_ = false;
        last = entry.local_header_offset;
        first = false;
    }
    block_.reserve(entry_block_size);
}

StreamedExtraction::~StreamedExtraction() { close_entry(); }

bool StreamedExtraction::take_block(std::uint64_t offset, const char* bytes, std::size_t size,
                                    std::string& error_message) {
    if (!following_) return true;
    if (offset > position_) {
        stop_following();
        return true;
    }
    if (offset + size <= position_) return true;
    const std::size_t seen = static_cast<std::size_t>(position_ - offset);
    const unsigned char* next = reinterpret_cast<const unsigned char*>(bytes) + seen;
    std::size_t left = size - seen;
    bool ok = start_entries(error_message);
    while (ok && following_ && left > 0 && index_ < entries_.size()) {
        ok = (in_data_ ? take_data(next, left, error_message)
                       : take_header(next, left, error_message)) &&
             start_entries(error_message);
    }
    if (!ok) {
        // What the failing entry wrote stays, as it does from the file.
        stop_following();
        return false;
    }
    position_ += left;
    return true;
}

bool StreamedExtraction::start_over(std::string&) {
    stop_following();
    // Files that were there before this run are left as a fresh install
    // would leave them: the extraction that follows writes them again.
    for (const std::string& name : created_) folders_.delete_file(name);
    created_.clear();
    installed_.clear();
    index_ = 0;
    return true;
}

bool StreamedExtraction::finish() {
    if (following_ && index_ == entries_.size()) return true;
    stop_following();
    return false;
}

// Runs the checks of each entry in turn, up to the next file entry whose
// bytes are still to come: its checks run now, in directory order, as they
// do from the file.
bool StreamedExtraction::start_entries(std::string& error_message) {
    while (following_ && !started_ && index_ < entries_.size()) {
        const ZipEntry& entry = entries_[index_];
        if (cancelled(report_, error_message)) return false;
        if (!check_entry_allowed(entry, error_message)) return false;
        if (is_file_entry(entry)) {
            if (!check_not_package(folders_, entry, package_name_, package_, error_message)) {
                return false;
            }
            started_ = true;
            header_fill_ = 0;
            return true;
        }
        if (!entry.name.empty() && !make_folder_entry(folders_, entry, error_message)) {
            return false;
        }
        ++index_;
    }
    return true;
}

void StreamedExtraction::advance(const unsigned char*& bytes, std::size_t& size,
                                 std::size_t count) {
    bytes += count;
    size -= count;
    position_ += count;
}

bool StreamedExtraction::skip_to(std::uint64_t offset, const unsigned char*& bytes,
                                 std::size_t& size) {
    if (position_ >= offset) return false;
    advance(bytes, size,
            static_cast<std::size_t>(std::min<std::uint64_t>(size, offset - position_)));
    return true;
}

bool StreamedExtraction::take_header(const unsigned char*& bytes, std::size_t& size,
                                     std::string& error_message) {
    const ZipEntry& entry = entries_[index_];
    const std::uint64_t header_at = entry.local_header_offset + header_fill_;
    if (position_ > header_at) {
        stop_following();
        return true;
    }
    if (skip_to(header_at, bytes, size)) return true;
    const std::size_t count = std::min(size, sizeof header_ - header_fill_);
    std::copy(bytes, bytes + count, header_ + header_fill_);
    header_fill_ += count;
    advance(bytes, size, count);
    if (header_fill_ < sizeof header_) return true;
    if (!local_header_data_offset(header_, entry, data_offset_)) {
        error_message = invalid_local_header;
        return false;
    }
    data_end_ = data_offset_ + entry.compressed_size;
    // Data that runs into the next entry's header (or wraps) is read from the
    // file instead.
    if (data_end_ < data_offset_ || data_end_ > next_header_offset()) {
        stop_following();
        return true;
    }
    return open_entry(error_message);
}

bool StreamedExtraction::open_entry(std::string& error_message) {
    const ZipEntry& entry = entries_[index_];
    const bool existed = folders_.holds(entry.name);
    target_ = folders_.create_file(entry.name, error_message);
    if (!target_) return false;
    if (!existed) created_.push_back(entry.name);
    output_ = std::make_unique<EntryOutput>(target_.get(), entry);
    decoder_ = make_entry_decoder(entry, *output_, error_message);
    if (!decoder_) return false;
    in_data_ = true;
    blocks_fed_ = 0;
    block_.clear();
    return data_offset_ == data_end_ ? end_entry(error_message) : true;
}

bool StreamedExtraction::take_data(const unsigned char*& bytes, std::size_t& size,
                                   std::string& error_message) {
    if (skip_to(data_offset_, bytes, size)) return true;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(
        std::min<std::uint64_t>(size, data_end_ - position_), entry_block_size - block_.size()));
    block_.insert(block_.end(), bytes, bytes + count);
    advance(bytes, size, count);
    if (block_.size() < entry_block_size && position_ < data_end_) return true;
    return feed_block(error_message);
}

bool StreamedExtraction::feed_block(std::string& error_message) {
    if (blocks_fed_ > 0 && cancelled(report_, error_message)) return false;
    ++blocks_fed_;
    const bool ok = decoder_->take(block_.data(), block_.size(), error_message);
    block_.clear();
    if (!ok) return false;
    // The bytes after a deflate stream's end are not read, as from the file.
    if (position_ == data_end_ || decoder_->ended()) return end_entry(error_message);
    return true;
}

bool StreamedExtraction::end_entry(std::string& error_message) {
    const ZipEntry& entry = entries_[index_];
    if (!decoder_->finish(error_message)) return false;
    decoder_.reset();
    const bool ok = close_entry_output(target_, entry, *output_, error_message);
    output_.reset();
    if (!ok) return false;
    installed_.push_back(entry.name);
    ++index_;
    started_ = false;
    in_data_ = false;
    return true;
}

void StreamedExtraction::close_entry() {
    decoder_.reset();
    output_.reset();
    target_.reset();
}

void StreamedExtraction::stop_following() {
    close_entry();
    following_ = false;
}

std::uint64_t StreamedExtraction::next_header_offset() const {
    for (std::size_t next = index_ + 1; next < entries_.size(); ++next) {
        if (is_file_entry(entries_[next])) return entries_[next].local_header_offset;
    }
    return UINT64_MAX;
}
