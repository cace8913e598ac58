// The two all-users shortcuts to the game client.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "paths/path_operations.h"
#include "records/install_names.h"
#include "records/install_records.h"
#include "records/system_paths.h"
#include "records/win32_owners.h"

namespace {
// The shortcut path in UTF-16, as IPersistFile::Save takes it; empty when the
// ANSI text cannot be converted. One UTF-16 unit per byte always suffices.
std::wstring wide_path(const std::string& path) {
    std::vector<wchar_t> buffer(path.size() + 1, L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, buffer.data(),
                            static_cast<int>(buffer.size())) == 0) {
        return {};
    }
    return buffer.data();
}
}  // namespace

// Saves a shell link at shortcut_path that starts target_path in
// working_directory, with the fixed description. True when the file was saved.
bool create_shortcut(const std::string& shortcut_path, const std::string& target_path,
                     const std::string& working_directory) {
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.put()))) ||
        !link) {
        return false;
    }
    link->SetPath(target_path.c_str());
    link->SetWorkingDirectory(working_directory.c_str());
    link->SetDescription(shortcut_description);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        !file) {
        return false;
    }
    const std::wstring wide = wide_path(shortcut_path);
    if (wide.empty()) return false;
    return SUCCEEDED(file->Save(wide.c_str(), TRUE));
}

std::string shortcut_target(const std::string& shortcut_path) {
    ComApartment com;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    const std::wstring wide = wide_path(shortcut_path);
    if (wide.empty() ||
        FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(link.put()))) ||
        !link ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        !file ||
        FAILED(file->Load(wide.c_str(), STGM_READ))) {
        return {};
    }
    char target[MAX_PATH] = {};
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return {};
    target[MAX_PATH - 1] = '\0';
    return target;
}

// Puts "The Annals of Quellmark.lnk" on the all-users desktop and into the
// Start-menu folder "The Annals of Quellmark". A shell folder that cannot be
// resolved skips its shortcut; the other is still made.
void create_shortcuts(const InstallFolder& install_folder) {
    ComApartment com;
    const std::string& folder = install_folder.path;
    const std::string client = join_path(folder, client_executable);

    std::string desktop;
    if (common_folder(CSIDL_COMMON_DESKTOPDIRECTORY, desktop)) {
        create_shortcut(join_path(desktop, shortcut_file_name), client, folder);
    }
    std::string programs;
    if (common_folder(CSIDL_COMMON_PROGRAMS, programs)) {
        const std::string menu_folder = join_path(programs, start_menu_folder_name);
        create_directory_tree(menu_folder);
        create_shortcut(join_path(menu_folder, shortcut_file_name), client, folder);
    }
}
