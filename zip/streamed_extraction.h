#pragma once
// The extraction that runs behind the download: each entry is written as soon
// as its bytes have arrived, while the download goes on. It follows the
// package only when every file entry's bytes (local header, name, extra field
// and data) lie in directory order, one after the other; otherwise, or on
// anything else it cannot follow, it goes passive and the caller extracts the
// entries not yet written from the package file afterwards, with the same
// results.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "platform/platform.h"
#include "report/installed_file.h"
#include "report/step_report.h"
#include "zip/entry_output.h"
#include "zip/open_folders.h"
#include "zip/zip_entry.h"
#include "zip/zip_records.h"

class EntryDecoder;

// Takes the package's blocks as the download hands them on: each once it is
// in the package file, in file order, never taken back except by start_over.
class StreamedExtraction {
public:
    // entries: the package's directory as read_package_directory gives it,
    // passed by directory_refusal. Folders and files are made in
    // install_folder as the extraction from the file makes them. package is
    // the package file the download writes, named package_name; the entries
    // are checked against it as the extraction from the file does.
    // The extraction is silent: of report it reads only the Cancel flag, once
    // per entry and per 64 KiB block, since the download owns the window
    // meanwhile.
    StreamedExtraction(std::vector<ZipEntry> entries, InstallFolder& install_folder,
                       std::FILE* package, std::string package_name, StepReport& report);
    ~StreamedExtraction();
    StreamedExtraction(const StreamedExtraction&) = delete;
    StreamedExtraction& operator=(const StreamedExtraction&) = delete;

    // Writes what the block completes. False, with the extraction's message,
    // at the first entry that fails (what was written stays, as from the
    // file); the download then stops.
    bool take_block(std::uint64_t offset, const char* bytes, std::size_t size,
                    std::string& error_message);
    // Deletes the files this run created that were not there before, and
    // goes passive: the new package's directory is not known.
    bool start_over(std::string& error_message);

    // Once the whole package has arrived: true when every entry was written
    // behind the download; false when the caller must extract the rest from
    // the package file, from entries_done() on. An entry still waiting for
    // bytes is closed first, so that extraction can create it afresh.
    bool finish();
    // The files completed so far, in directory order, as extract_package
    // lists them.
    const std::vector<InstalledFile>& installed_files() const { return installed_; }
    // How many entries, in directory order, are handled completely (their
    // files are installed_files()); none after start_over.
    std::size_t entries_done() const { return index_; }

private:
    bool start_entries(std::string& error_message);
    // Moves past count of the block's bytes.
    void advance(const unsigned char*& bytes, std::size_t& size, std::size_t count);
    // Passes over the block's bytes that lie before offset: true when there
    // were any, so the caller looks again at what is left.
    bool skip_to(std::uint64_t offset, const unsigned char*& bytes, std::size_t& size);
    bool take_header(const unsigned char*& bytes, std::size_t& size, std::string& error_message);
    bool take_data(const unsigned char*& bytes, std::size_t& size, std::string& error_message);
    bool feed_block(std::string& error_message);
    bool end_entry(std::string& error_message);
    bool open_entry(std::string& error_message);
    void close_entry();
    void stop_following();
    // The next entry after index_ whose bytes are read, or the end.
    std::uint64_t next_header_offset() const;

    std::vector<ZipEntry> entries_;
    std::FILE* package_;
    std::string package_name_;
    StepReport& report_;
    bool following_ = true;
    std::uint64_t position_ = 0;  // the bytes of the package seen so far
    std::size_t index_ = 0;       // the entry being written or waited for
    bool started_ = false;        // its checks have run
    bool in_data_ = false;        // its local header is done
    std::size_t header_fill_ = 0;
    unsigned char header_[zip_record::local_header::size] = {};
    std::uint64_t data_offset_ = 0;
    std::uint64_t data_end_ = 0;
    std::uint64_t blocks_fed_ = 0;
    std::vector<unsigned char> block_;
    OpenFolders folders_;
    platform::File target_;
    std::unique_ptr<EntryOutput> output_;
    std::unique_ptr<EntryDecoder> decoder_;
    std::vector<InstalledFile> installed_;
    std::vector<std::string> created_;  // entry names, made anew by this run
};
