// The Browse button's folder dialog.
#include <windows.h>
#include <shlobj.h>

#include "paths/path_operations.h"
#include "platform/com_apartment.h"
#include "ui/setup_window.h"

namespace {
constexpr char game_folder_name[] = "The Annals of Quellmark";
constexpr char dialog_title[] = "Choose where Quellmark should be installed";
constexpr UINT dialog_flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
}  // namespace

// Lets the user pick a folder and puts it, with the game's folder name added
// unless the path already holds it, into the folder field. A cancelled
// dialog or a choice without a file-system path changes nothing.
void SetupWindow::browse_for_folder() {
    // The new-style dialog is a COM client: it needs an apartment while open.
    platform::ComApartment apartment;
    BROWSEINFOA request = {};
    request.hwndOwner = main_window;
    request.lpszTitle = dialog_title;
    request.ulFlags = dialog_flags;
    LPITEMIDLIST item = SHBrowseForFolderA(&request);
    if (!item) return;
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(item, path)) {
        std::string folder = path;
        if (folder.find(game_folder_name) == std::string::npos) {
            folder = join_path(folder, game_folder_name);
        }
        if (folder_edit) SetWindowTextA(folder_edit, folder.c_str());
    }
    CoTaskMemFree(item);
}
