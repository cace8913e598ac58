#pragma once
// The list of installed files while the extraction runs. Each file's line
// reaches the system before the file is made, so a run killed at any point
// leaves a list that names every file it made, beside the earlier install's
// lines; the next install and the uninstall then find them all. At the end
// of a whole run the list is written anew from the files installed.
#include <cstdint>
#include <string>

#include "paths/install_folder.h"
#include "platform/platform.h"

class ManifestLog final : public FileLedger {
public:
    // list is the held list of installed files, standing after the earlier
    // install's lines; it must outlive the log.
    explicit ManifestLog(platform::File& list) : list_(list) {}
    ManifestLog(const ManifestLog&) = delete;
    ManifestLog& operator=(const ManifestLog&) = delete;

    // Adds name and hands the line to the system. A list that cannot be
    // written is given up; the final list is still attempted.
    void file_to_be_made(const std::string& name) override;
    // The name and its CR LF, as every list of installed files holds it.
    std::uint64_t listed_bytes(const std::string& name) const override { return name.size() + 2; }
    // Whether any file was about to be made: its records must then stay.
    bool named_any() const { return named_any_; }

private:
    platform::File& list_;
    bool named_any_ = false;
    bool given_up_ = false;
};
