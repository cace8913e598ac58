#pragma once
// The fixed names and places that an install records and that uninstall mode
// removes again; both sides must agree on every one of them.
#include "paths/install_locations.h"

inline constexpr char client_executable[] = "bin\\client\\Qm_client.exe";
inline constexpr char shortcut_file_name[] = "The Annals of Quellmark.lnk";
inline constexpr char start_menu_folder_name[] = "The Annals of Quellmark";
inline constexpr char shortcut_description[] = "Launch The Annals of Quellmark";
inline constexpr char uninstall_key[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\The Annals of Quellmark";
