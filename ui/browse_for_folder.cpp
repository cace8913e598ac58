// The Browse button's folder dialog.
#include <windows.h>
#include <shlobj.h>

#include "setup/paths.h"
#include "ui/setup_window.h"

namespace {
constexpr char game_folder_name[] = "The Annals of Quellmark";
constexpr char dialog_title[] = "Choose where Quellmark should be installed";
constexpr UINT dialog_flags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;

// The new-style folder dialog is a COM client and needs a single-threaded
// apartment on this thread for as long as it is open. Joins one that is
// already there, or makes one and leaves it again afterwards.
class DialogApartment {
public:
    DialogApartment() : joined_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~DialogApartment() {
        if (joined_) CoUninitialize();
    }
    DialogApartment(const DialogApartment&) = delete;
    DialogApartment& operator=(const DialogApartment&) = delete;

private:
    bool joined_;
};
}  // namespace

// Lets the user pick a folder and puts it, with the game's folder name added
// unless the path already holds it, into the folder field. A cancelled
// dialog or a choice without a file-system path changes nothing.
void SetupWindow::browse_for_folder() {
    DialogApartment apartment;
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
