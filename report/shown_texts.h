#pragma once
// The texts that more than one part of the program shows the person; each
// is written here once, so the parts can never drift apart.

// The setup window's title and the caption of every box of install mode.
inline constexpr char setup_caption[] = "Quellmark Setup";
// The caption of uninstall mode's boxes, which are its only windows.
inline constexpr char uninstall_caption[] = "Quellmark Uninstall";

// Followed by the full path of the link.
inline constexpr char install_link_message[] =
    "The install folder contains a link to another location: ";
// Followed by a line break and the full path of the file in use.
inline constexpr char game_running_message[] =
    "The game is still running. Close it, then press Install again.";
