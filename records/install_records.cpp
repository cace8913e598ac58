#include "records/install_records.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <vector>

#include "paths/path_operations.h"
#include "platform/platform.h"
#include "records/install_names.h"
#include "records/manifest.h"
#include "records/mapped_image.h"
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

namespace {
std::FILE* running_program() {
    static platform::File program = [] {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return platform::File();
        platform::KernelHandle handle(platform::taken_from(CreateFileW(
            path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
            nullptr)));
        if (!handle) return platform::File();
        const int descriptor =
            _open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY | _O_BINARY);
        if (descriptor == -1) return platform::File();
        handle.release();  // the descriptor closes it
        platform::File file(_fdopen(descriptor, "rb"));
        if (!file) {
            _close(descriptor);
            return file;
        }
        // The path may name another program by now: only the very image
        // that runs becomes the uninstaller.
        if (!file_is_mapped_image(file.get(), GetModuleHandleW(nullptr))) file.reset();
        return file;
    }();
    return program.get();
}

// Copies every byte of from, read from its start, to to.
bool copy_file(std::FILE* from, std::FILE* to) {
    if (!platform::seek_to(from, 0)) return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const size_t read = std::fread(buffer.data(), 1, buffer.size(), from);
        if (read > 0 && std::fwrite(buffer.data(), 1, read, to) != read) return false;
        if (read < buffer.size()) return std::feof(from) != 0;
    }
}
}  // namespace

void hold_running_program() { running_program(); }

namespace {
// Writes the running program into copy, a new file at the uninstaller's
// name. An uninstall since the last restart left its own file to be deleted
// then, by a path that now leads to the new copy, however it is spelt.
bool write_uninstaller(std::FILE* copy) {
    std::FILE* program = running_program();
    if (!program) return false;
    cancel_pending_deletion(copy);
    return copy_file(program, copy) && std::fflush(copy) == 0;
}

// Started elevated from the Programs list: only administrators may change it.
platform::EntryResult create_uninstaller(const InstallFolder& install_folder, platform::File& copy) {
    const platform::AccessDescriptor access(platform::AccessList::uninstaller);
    return platform::create_file_in(install_folder.handle, uninstaller_file_name, copy, &access);
}
}  // namespace

bool install_uninstaller(const InstallFolder& install_folder, HeldRecords& records) {
    if (!records.uninstaller) return false;
    if (!records.uninstaller_copied) {
        platform::delete_open_file(records.uninstaller.get(), install_folder.handle,
                                   uninstaller_file_name);
    }
    return platform::close_file(records.uninstaller) && records.uninstaller_copied;
}

bool take_records(const InstallFolder& folder, const std::vector<std::string>& earlier_lines,
                  HeldRecords& records, std::string& error_message) {
    if (create_uninstaller(folder, records.uninstaller) != platform::EntryResult::done) {
        error_message = unreplaceable_record_message + join_path(folder.path, uninstaller_file_name);
        return false;
    }
    records.uninstaller_copied = write_uninstaller(records.uninstaller.get());
    if (!take_manifest(folder, earlier_lines, records)) {
        error_message = unreplaceable_record_message + join_path(folder.path, manifest_file_name);
        return false;
    }
    return true;
}

void drop_records(const InstallFolder& folder, HeldRecords& records, bool earlier_install) {
    if (!earlier_install) {
        if (records.uninstaller) {
            platform::delete_open_file(records.uninstaller.get(), folder.handle,
                                       uninstaller_file_name);
        }
        if (records.manifest) {
            platform::delete_open_file(records.manifest.get(), folder.handle, manifest_file_name);
        }
    }
    records.uninstaller.reset();
    records.manifest.reset();
}

std::uint64_t uninstaller_size() {
    std::FILE* program = running_program();
    if (!program || !platform::seek_to_end(program)) return 0;
    const std::int64_t size = platform::tell(program);
    return size > 0 ? static_cast<std::uint64_t>(size) : 0;
}

// Creates or opens the uninstall key under HKEY_LOCAL_MACHINE and writes its
// seven values in order. Without the key nothing is written; a value that
// cannot be written is skipped.
void register_uninstall_entry(const InstallFolder& install_folder) {
    RegistryKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstall_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const std::string& folder = install_folder.path;
    const std::string client = join_path(folder, client_executable);
    const std::string command =
        quote_argument(join_path(folder, uninstaller_file_name)) + " /uninstall";
    set_text_value(key.get(), "DisplayName", display_name);
    set_text_value(key.get(), "Publisher", publisher);
    set_text_value(key.get(), "InstallLocation", folder);
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
