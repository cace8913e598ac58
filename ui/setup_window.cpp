#include "ui/setup_window.h"

#include "report/phase_clock.h"
#include "report/shown_texts.h"

namespace {
constexpr int folder_field_buffer_characters = 520;
constexpr int start_poll_milliseconds = 25;
constexpr int progress_full = 100;
}  // namespace

SetupWindow::~SetupWindow() {
    for (platform::BitmapHandle bitmap :
         {skin_background, skin_button_normal, skin_button_hover, skin_button_pressed,
          skin_close_hover, skin_close_pressed, skin_minimize_hover, skin_minimize_pressed}) {
        platform::delete_bitmap(bitmap);
    }
    platform::delete_bitmap(face_background);
    platform::delete_brush(edit_brush);
    platform::delete_font(title_font);
    platform::delete_font(body_font);
}

platform::Rect SetupWindow::status_area() const {
    return {scaled(300), scaled(230), scaled(740), scaled(540)};
}

platform::Rect SetupWindow::transfer_area() const {
    return {scaled(300), scaled(transfer_row_top), scaled(740), scaled(transfer_row_bottom)};
}

void SetupWindow::request_status_repaint(bool immediately) {
    status_repaint_pending = true;
    const std::uint64_t now = platform::milliseconds_now();
    if (!immediately && now - last_status_repaint < status_repaint_interval_ms) return;
    status_repaint_pending = false;
    last_status_repaint = now;
    // The labels are never shown: they carry the texts for whoever reads
    // them, and follow the painted face rather than every update, since
    // each change of a window text is a round trip to the window system.
    platform::set_window_text(headline_label, headline);
    platform::set_window_text(detail_label, detail);
    if (main_window) {
        const platform::Rect area = status_area();
        platform::invalidate_without_erase(main_window, &area);
    }
}

void SetupWindow::process_pending_messages() {
    PhaseTimer window(Phase::window);
    if (status_repaint_pending) request_status_repaint(false);
    platform::drain_message_queue(main_window);
}

void SetupWindow::set_status(const std::string& headline_text, const std::string& detail_text) {
    PhaseTimer window(Phase::window);
    // A new headline starts a new step: the last status of the step before
    // reaches the screen first, however quickly it was replaced.
    const bool new_step = headline_text != headline;
    if (new_step && status_repaint_pending) {
        request_status_repaint(true);
        platform::update_window(main_window);
    }
    // Copies first: callers may pass this record's own strings.
    std::string new_headline = headline_text;
    std::string new_detail = detail_text;
    headline = std::move(new_headline);
    detail = std::move(new_detail);
    if (new_step) transfer.clear();
    request_status_repaint(new_step);
    process_pending_messages();
}

void SetupWindow::set_progress(int position) {
    PhaseTimer window(Phase::window);
    // The bar repaints on every position message, even an unchanged one.
    if (position != progress_position) {
        progress_position = position;
        platform::set_progress_position(progress_bar, position);
    }
    process_pending_messages();
}

void SetupWindow::show_transfer(std::uint64_t received, std::uint64_t total) {
    PhaseTimer window(Phase::window);
    const std::uint64_t now = platform::milliseconds_now();
    const bool first = transfer.empty();
    transfer.add(received, total, now);
    if (!first && now - last_transfer_repaint < transfer_repaint_interval_ms) return;
    last_transfer_repaint = now;
    if (main_window) {
        const platform::Rect area = transfer_area();
        platform::invalidate_without_erase(main_window, &area);
    }
}

bool SetupWindow::wait_for_start(std::string& folder) {
    if (cancel_requested) return false;
    while (!start_requested) {
        process_pending_messages();
        platform::sleep_milliseconds(start_poll_milliseconds);
        if (cancel_requested) break;
    }
    if (cancel_requested) return false;
    start_requested = false;  // a refused folder waits for the next press
    folder_text_lost_characters =
        !platform::window_text_in_code_page(folder_edit, folder_field_buffer_characters, folder);
    return true;
}

void SetupWindow::refuse_folder(const std::string& message) {
    platform::message_box(main_window, message, setup_caption,
                          platform::box_ok | platform::box_icon_warning);
    start_requested = false;
    platform::focus_text_field(folder_edit);
    process_pending_messages();
}

void SetupWindow::enter_install_mode() {
    install_running = true;
    cancel_requested = false;
    platform::show_window(folder_edit, platform::show_hide);
    platform::show_window(browse_button, platform::show_hide);
    platform::show_window(install_button, platform::show_hide);
    platform::set_window_text(cancel_button, "Cancel");
    platform::show_window(progress_bar, platform::show_normal);
    sentence_detail = "The setup is getting ready to download the client package.";
    set_status("Preparing install.", sentence_detail);
    progress_position = 0;
    platform::set_progress_position(progress_bar, 0);
    process_pending_messages();
    if (main_window) {
        platform::invalidate_without_erase(main_window, nullptr);
        process_pending_messages();
    }
}

void SetupWindow::finish(const std::string& message, bool success) {
    progress_position = success ? progress_full : 0;
    platform::set_progress_position(progress_bar, progress_position);
    process_pending_messages();
    sentence_detail = message;
    set_status(success ? "Setup complete." : "Setup failed.", message);
    platform::message_box(main_window, message, setup_caption,
                          platform::box_ok | (success ? platform::box_icon_information
                                                      : platform::box_icon_error));
}
