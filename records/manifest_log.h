#pragma once
// The list of installed files while the extraction runs. Each file's line
// reaches the system before the file is made, so a run killed at any point
// leaves a list that names every file it made, beside the earlier install's
// lines; the next install and the uninstall then find them all. At the end
// of a whole run the list is written anew from the files installed.
#include <string>
#include <vector>

#include "paths/install_folder.h"
#include "platform/platform.h"

class ManifestLog final : public FileLedger {
public:
    // Both must outlive the log. Nothing is written before the first file:
    // a run that fails earlier leaves the earlier list as it was.
    ManifestLog(const InstallFolder& folder, const std::vector<std::string>& earlier_lines)
        : folder_(folder), earlier_lines_(earlier_lines) {}
    ManifestLog(const ManifestLog&) = delete;
    ManifestLog& operator=(const ManifestLog&) = delete;
    ~ManifestLog() { close(); }

    // Makes the list on the first call (the earlier lines first), then adds
    // name and hands the line to the system. A list that cannot be written
    // is given up; the final list is still attempted.
    void file_to_be_made(const std::string& name) override;

    // Lets go of the list, so that the final one can replace it.
    void close();

private:
    const InstallFolder& folder_;
    const std::vector<std::string>& earlier_lines_;
    platform::File file_;
    bool given_up_ = false;
};
