#pragma once
// The one setup window of an install run, and the operations through which
// the install steps report to it. The program has no message loop: every
// operation here ends by draining the queue, which is what keeps the window
// alive while the single thread downloads and extracts.
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "report/step_report.h"
#include "ui/transfer_line.h"

// Control identifiers of the window's children.
constexpr int ID_INSTALL = 1001;
constexpr int ID_CANCEL = 1002;
constexpr int ID_BROWSE = 1003;
constexpr int ID_FOLDER = 1004;
constexpr int ID_MINIMIZE = 1005;
constexpr int ID_CLOSE = 1006;

enum class ChromeGlyph { minimize, close };

// The window class of the setup window: a second copy finds the first by it.
inline constexpr char setup_window_class[] = "QuellmarkSetupWindow";

struct SetupWindow {
    platform::WindowHandle main_window = nullptr;
    platform::WindowHandle progress_bar = nullptr;
    platform::WindowHandle headline_label = nullptr;
    platform::WindowHandle detail_label = nullptr;
    platform::WindowHandle folder_edit = nullptr;
    platform::WindowHandle browse_button = nullptr;
    platform::WindowHandle install_button = nullptr;
    platform::WindowHandle cancel_button = nullptr;
    platform::WindowHandle close_button = nullptr;
    platform::WindowHandle minimize_button = nullptr;
    bool cancel_requested = false;
    bool start_requested = false;
    bool install_running = false;
    // Set by wait_for_start: the folder field held a character that the
    // system's code page has no form for.
    bool folder_text_lost_characters = false;
    int ui_scale = 100;
    bool dragging = false;
    int hot_control_id = 0;
    platform::WindowHandle focused_control = nullptr;  // the focus while the window is inactive
    platform::WindowProcedure button_base_proc = nullptr;
    struct {
        int x;
        int y;
    } drag_offset;
    platform::BitmapHandle skin_background = nullptr;
    platform::BitmapHandle skin_button_normal = nullptr;
    platform::BitmapHandle skin_button_hover = nullptr;
    platform::BitmapHandle skin_button_pressed = nullptr;
    platform::BitmapHandle skin_close_hover = nullptr;
    platform::BitmapHandle skin_close_pressed = nullptr;
    platform::BitmapHandle skin_minimize_hover = nullptr;
    platform::BitmapHandle skin_minimize_pressed = nullptr;
    platform::BrushHandle edit_brush = nullptr;
    // Made on the first paint and kept for the window's life: the skin at the
    // window's size and the two page fonts.
    platform::BitmapHandle face_background = nullptr;
    platform::FontHandle title_font = nullptr;
    platform::FontHandle body_font = nullptr;
    // Status texts may change far faster than a person can read them; the
    // status area is repainted at most once per repaint interval.
    bool status_repaint_pending = false;
    std::uint64_t last_status_repaint = 0;
    int progress_position = -1;
    // The download's reports, for the transfer line; cleared when a new step
    // (a new headline) begins, which takes the line off the page.
    TransferMeter transfer;
    std::uint64_t last_transfer_repaint = 0;
    std::string headline;
    std::string detail;
    // The detail when the window wrote it itself: a sentence, drawn wrapped.
    // Any other detail is what a step reported (a folder, a URL, an entry
    // name) and is drawn on one line, cut in its middle when too long.
    std::string sentence_detail;
    std::string initial_folder;

    SetupWindow() = default;
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;
    // Frees the skin bitmaps and the brush. The window itself is left to the
    // end of the process, which follows right after.
    ~SetupWindow();

    // Design coordinate (a pixel of the 988 x 735 skin) to window pixels.
    int scaled(int design_value) const { return (design_value * ui_scale + 50) / 100; }
    // The rectangle that holds every page text, in window pixels.
    platform::Rect status_area() const;
    // The row of the transfer line, below the detail, inside the status area.
    static constexpr int transfer_row_top = 458;
    static constexpr int transfer_row_bottom = 482;
    platform::Rect transfer_area() const;

    // Status operations (usable before the window exists: null handles are skipped).
    void process_pending_messages();
    void set_status(const std::string& headline_text, const std::string& detail_text);
    void set_progress(int position);
    // The bytes of the download so far, and its announced length (0: none).
    void show_transfer(std::uint64_t received, std::uint64_t total);
    // Waits on the ready page for Install (true, with the folder field's text,
    // which may be anything, in the ANSI code page) or a cancel (false).
    bool wait_for_start(std::string& folder);
    // Shows why the typed folder cannot be used; the ready page then waits
    // again, with the field as typed and the focus in it.
    void refuse_folder(const std::string& message);
    void enter_install_mode();
    void finish(const std::string& message, bool success);

    static constexpr std::uint64_t status_repaint_interval_ms = 25;
    // Numbers that change faster than this cannot be read.
    static constexpr std::uint64_t transfer_repaint_interval_ms = 250;
    // Asks for a repaint of the status area: at once when immediately is set
    // or the last one is an interval old, otherwise at the first drain after
    // that.
    void request_status_repaint(bool immediately);

    // Creation and skin (Windows only).
    bool create(const std::string& proposed_folder);
    void load_skin();

    // Behaviour of the window (Windows only).
    static platform::MessageResult PLATFORM_CALLBACK window_proc(platform::WindowHandle window,
                                                                 platform::MessageId message,
                                                                 platform::WordParam wparam,
                                                                 platform::LongParam lparam);
    // Composes the part of the face inside area (window pixels) and copies it
    // to the same place on target.
    void compose_face(platform::DeviceContext target, const platform::Rect& area);
    void draw_page_texts(platform::DeviceContext dc);
    void browse_for_folder();
    void draw_background_behind(platform::DeviceContext dc, platform::WindowHandle button, int x,
                                int y, int width, int height);
    void draw_chrome_button(platform::DeviceContext dc, platform::WindowHandle button, int x, int y,
                            int width, int height, ChromeGlyph glyph, bool pressed, bool hover);
};

// The window as the long steps see it. The window record itself stays a
// plain record; this is the one place that lends it to them.
class WindowReport final : public StepReport {
public:
    explicit WindowReport(SetupWindow& window) : window_(window) {}
    void set_status(const std::string& headline, const std::string& detail) override {
        window_.set_status(headline, detail);
    }
    void set_progress(int position) override { window_.set_progress(position); }
    void show_transfer(std::uint64_t received, std::uint64_t total) override {
        window_.show_transfer(received, total);
    }
    void process_pending_messages() override { window_.process_pending_messages(); }
    bool cancel_requested() const override { return window_.cancel_requested; }

private:
    SetupWindow& window_;
};
