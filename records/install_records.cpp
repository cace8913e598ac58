#include "records/install_records.h"

#include <windows.h>

#include "paths/path_operations.h"
#include "records/install_names.h"
#include "records/pending_deletion.h"
#include "records/system_paths.h"
#include "records/win32_owners.h"

namespace {
constexpr char display_name[] = "The Annals of Quellmark";
constexpr char publisher[] = "Quellmark Hearth";
// Kilobytes, as the list of installed programs reads it; a fixed estimate.
constexpr DWORD estimated_size = 9000000;

// Writes one REG_SZ value; its stored size counts the terminating NUL.
void set_text_value(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

void set_number_value(HKEY key, const char* name, DWORD number) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof number);
}
}  // namespace

// Copies the running program to "QuellmarkUninstall.exe" in the install
// folder, replacing an earlier copy. True when the copy succeeded; a copy cut
// short (a full disk) is removed again, as a truncated program would only
// fail when the user tries to uninstall.
bool install_uninstaller(const std::string& install_folder) {
    const std::string program = running_program_path();
    if (program.empty()) return false;
    const std::string uninstaller = join_path(install_folder, uninstaller_file_name);
    // An uninstall since the last restart left its own file to be deleted
    // then; that would take the new copy with it.
    cancel_pending_deletion(uninstaller);
    DeleteFileA(uninstaller.c_str());
    if (CopyFileA(program.c_str(), uninstaller.c_str(), FALSE)) return true;
    DeleteFileA(uninstaller.c_str());
    return false;
}

std::uint64_t uninstaller_size() {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    const std::string program = running_program_path();
    if (program.empty() ||
        !GetFileAttributesExA(program.c_str(), GetFileExInfoStandard, &attributes)) {
        return 0;
    }
    return (static_cast<std::uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
}

// Creates or opens the uninstall key under HKEY_LOCAL_MACHINE and writes its
// seven values in order. Without the key nothing is written; a value that
// cannot be written is skipped.
void register_uninstall_entry(const std::string& install_folder) {
    RegistryKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstall_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::string client = join_path(install_folder, client_executable);
    const std::string command =
        quote_argument(join_path(install_folder, uninstaller_file_name)) + " /uninstall";
    set_text_value(key.get(), "DisplayName", display_name);
    set_text_value(key.get(), "Publisher", publisher);
    set_text_value(key.get(), "InstallLocation", install_folder);
    set_text_value(key.get(), "DisplayIcon", client);
    set_text_value(key.get(), "UninstallString", command);
    set_text_value(key.get(), "QuietUninstallString", command);
    set_number_value(key.get(), "EstimatedSize", estimated_size);
}

std::string quote_argument(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}
