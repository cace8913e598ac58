#pragma once
#include <cstdio>
#include <string>

#include "download/package_directory.h"
#include "report/step_report.h"

// Whatever keeps the package from matching what its publisher signed: no
// signature, one that does not hold, or a byte that differs.
constexpr char package_unverified_message[] =
    "The package could not be verified as the publisher's.";

// Fetches package_url into package, a file the caller made at package_path
// and holds open, from its current position, moving the progress bar from 0
// to 50. True when the whole body is in the file; false with error_message
// set. A null package is reported as a file that could not be created, once
// the host has answered. The file is neither closed nor deleted here,
// whatever the outcome: that is the caller's.
//
// The package's directory comes first: its tail is asked for with a range
// and held in memory, directory reads it, and the body then goes to
// directory's consumer. A host without ranges sends the whole package at
// once; that is the download, and nothing is handed on. A refusal of
// directory or its consumer ends the download with its message.
bool download_package(const std::string& package_url, const std::string& package_path,
                      std::FILE* package, PackageDirectory& directory, StepReport& report,
                      std::string& error_message);
