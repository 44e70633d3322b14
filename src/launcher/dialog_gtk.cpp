// The GTK view of the configuration dialog: builds the window once, mirrors
// the view record into it and sends the user's actions back as commands.
#include "launcher/dialog_gtk.h"

#include "data/pack.h"
#include "presentation/services/stop_signal.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstring>
#include <string>

// Dialog units of the template to pixels: 3/2 across, 13/8 down.
static int unit_x(int units) {
    return units * 3 / 2;
}
static int unit_y(int units) {
    return units * 13 / 8;
}

constexpr int TEMPLATE_WIDTH = 406;
constexpr int TEMPLATE_HEIGHT = 178;
constexpr int PICTURE_WIDTH = 292;
constexpr int PICTURE_HEIGHT = 120;
constexpr uint32_t PLACEHOLDER_RGB = 0x181C30;
constexpr int ICON_SIZE = 64;

// Compact controls in the template's small type, so that they fit its rows.
static const char dialog_css[] = "#vorn-dialog, #vorn-dialog * { font-size: 8pt; }\n"
                                 "#vorn-dialog button { min-height: 18px; padding: 2px 2px; }\n"
                                 "#vorn-dialog combobox button { padding: 1px 6px; }\n"
                                 "#vorn-dialog radiobutton { min-height: 14px; padding: 0; }\n"
                                 "#vorn-dialog frame > label { font-weight: bold; }\n";

// A drop-down list and the entries it shows.
struct GtkList {
    int id;
    GtkComboBoxText* combo;
    std::vector<std::string> shown;
};

struct GtkDialogWidgets {
    GtkWidget* window;
    GtkList lists[5];
    GtkWidget* rates[4];
    GtkWidget* test_display;
    GtkWidget* run;
    GtkWidget* sound_note; // the line under the sound lists
    GtkWidget* open_box;   // the message box being shown, none while there is none
    int updating; // set while the widgets follow the view: their signals are not the user's
};

static GtkDialogWidgets widgets;

constexpr guint STOP_CHECK_MS = 100;

// A stop signal only sets a flag; this looks at it often enough for a person
// and wakes the loop, and ends a message box's own loop.
static gboolean check_stop_signal(gpointer) {
    if (stop_signal && widgets.open_box)
        gtk_dialog_response(GTK_DIALOG(widgets.open_box), GTK_RESPONSE_CLOSE);
    return G_SOURCE_CONTINUE;
}

int dialog_gtk_start() {
    if (!gtk_init_check(nullptr, nullptr)) return 0;
    g_timeout_add(STOP_CHECK_MS, check_stop_signal, nullptr);
    return 1;
}

void dialog_gtk_desktop(int* width, int* height, int* reports_positions) {
    GdkDisplay* display = gdk_display_get_default();
    *reports_positions = display && GDK_IS_X11_DISPLAY(display) ? 1 : 0;
    *width = *height = 0;
    if (!*reports_positions) return;
    GdkWindow* root = gdk_get_default_root_window();
    *width = gdk_window_get_width(root);
    *height = gdk_window_get_height(root);
}

//
// The view on screen
//

static void show_list(GtkList* list, const DialogList& view) {
    if (list->shown != view.entries) {
        gtk_combo_box_text_remove_all(list->combo);
        for (const std::string& entry : view.entries)
            gtk_combo_box_text_append_text(list->combo, entry.c_str());
        list->shown = view.entries;
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(list->combo), view.selection);
}

static void follow_view(DialogView* dialog) {
    widgets.updating = 1;
    for (GtkList& list : widgets.lists) show_list(&list, *dialog_list(dialog, list.id));
    for (int i = 0; i < 4; i++)
        if (dialog->rate_checked == IDC_RATE_44KHZ + i)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widgets.rates[i]), TRUE);
    gtk_label_set_text(GTK_LABEL(widgets.sound_note), dialog->sound_note.c_str());
    gtk_widget_set_sensitive(widgets.test_display, dialog->test_display_enabled);
    gtk_widget_set_sensitive(widgets.run, dialog->run_enabled);
    if (dialog->ended) gtk_widget_hide(widgets.window);
    widgets.updating = 0;
}

//
// The user's actions
//

static int control_id(gpointer widget) {
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "control-id"));
}

static void on_list_changed(GtkComboBox* combo, gpointer data) {
    if (widgets.updating) return;
    DialogView* dialog = static_cast<DialogView*>(data);
    dialog_choose(dialog, control_id(combo), gtk_combo_box_get_active(combo));
    follow_view(dialog);
}

static void on_button_clicked(GtkButton* button, gpointer data) {
    if (widgets.updating) return;
    DialogView* dialog = static_cast<DialogView*>(data);
    dialog_press(dialog, control_id(button));
    follow_view(dialog);
    // The keyboard comes back to the dialog after a test's window or box.
    if (!dialog->ended) gtk_window_present(GTK_WINDOW(widgets.window));
}

static void on_radio_toggled(GtkToggleButton* radio, gpointer data) {
    if (widgets.updating || !gtk_toggle_button_get_active(radio)) return;
    DialogView* dialog = static_cast<DialogView*>(data);
    dialog_press(dialog, control_id(radio));
    follow_view(dialog);
}

static gboolean on_delete(GtkWidget*, GdkEvent*, gpointer data) {
    DialogView* dialog = static_cast<DialogView*>(data);
    if (!dialog->ended) config_dialog_proc(dialog, WM_CLOSE, 0, 0);
    follow_view(dialog);
    return TRUE;
}

// Escape is "Exit", as in any dialog.
static gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    DialogView* dialog = static_cast<DialogView*>(data);
    dialog_press(dialog, IDCANCEL);
    follow_view(dialog);
    return TRUE;
}

static gboolean on_configure(GtkWidget* window, GdkEvent*, gpointer data) {
    DialogView* dialog = static_cast<DialogView*>(data);
    if (dialog->position_known)
        gtk_window_get_position(GTK_WINDOW(window), &dialog->window_x, &dialog->window_y);
    return FALSE;
}

//
// Building the window
//

static void place(GtkFixed* fixed, GtkWidget* widget, int x, int y, int width, int height) {
    if (width > 0 || height > 0)
        gtk_widget_set_size_request(widget, width > 0 ? unit_x(width) : -1,
                                    height > 0 ? unit_y(height) : -1);
    gtk_fixed_put(fixed, widget, unit_x(x), unit_y(y));
}

static void add_group(GtkFixed* fixed, const char* text, int x, int y, int width, int height) {
    place(fixed, gtk_frame_new(text), x, y, width, height);
}

static GtkWidget* add_label(GtkFixed* fixed, const char* text, int x, int y, int width = 0) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    place(fixed, label, x, y, width, 0);
    return label;
}

static GtkComboBoxText* add_list(GtkFixed* fixed, DialogView* dialog, int slot, int id, int x,
                                 int y) {
    GtkWidget* combo = gtk_combo_box_text_new();
    g_object_set_data(G_OBJECT(combo), "control-id", GINT_TO_POINTER(id));
    g_signal_connect(combo, "changed", G_CALLBACK(on_list_changed), dialog);
    // Long entries are shortened rather than widening the list past its place.
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
    for (GList* cell = cells; cell; cell = cell->next)
        g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, "width-chars", 8, nullptr);
    g_list_free(cells);
    place(fixed, combo, x, y, 183, 0);
    widgets.lists[slot] = GtkList{id, GTK_COMBO_BOX_TEXT(combo), {}};
    return GTK_COMBO_BOX_TEXT(combo);
}

static GtkWidget* add_button(GtkFixed* fixed, DialogView* dialog, const char* text, int id, int x,
                             int y, int width, int height) {
    GtkWidget* button = gtk_button_new_with_label(text);
    g_object_set_data(G_OBJECT(button), "control-id", GINT_TO_POINTER(id));
    g_signal_connect(button, "clicked", G_CALLBACK(on_button_clicked), dialog);
    place(fixed, button, x, y, width, height);
    return button;
}

// The decoration: the pack's 292 x 120 RGB picture, or a plain panel when it
// is missing or short.
static GdkPixbuf* load_picture() {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, PICTURE_WIDTH, PICTURE_HEIGHT);
    const std::optional<Buffer> raw = pack_read_entry("dialog.raw");
    const size_t row_bytes = size_t(PICTURE_WIDTH) * 3;
    const bool usable = raw && raw->size() >= row_bytes * PICTURE_HEIGHT;
    guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < PICTURE_HEIGHT; y++) {
        guchar* row = pixels + size_t(y) * size_t(stride);
        if (usable) {
            std::memcpy(row, raw->data() + size_t(y) * row_bytes, row_bytes);
            continue;
        }
        for (int x = 0; x < PICTURE_WIDTH; x++) {
            row[x * 3 + 0] = guchar(PLACEHOLDER_RGB >> 16);
            row[x * 3 + 1] = guchar(PLACEHOLDER_RGB >> 8);
            row[x * 3 + 2] = guchar(PLACEHOLDER_RGB);
        }
    }
    return pixbuf;
}

// The window's icon: the middle square of the picture.
static void set_icon(GtkWindow* window, GdkPixbuf* picture) {
    const int x = (PICTURE_WIDTH - PICTURE_HEIGHT) / 2;
    GdkPixbuf* square = gdk_pixbuf_new_subpixbuf(picture, x, 0, PICTURE_HEIGHT, PICTURE_HEIGHT);
    GdkPixbuf* icon = gdk_pixbuf_scale_simple(square, ICON_SIZE, ICON_SIZE, GDK_INTERP_BILINEAR);
    gtk_window_set_icon(window, icon);
    g_object_unref(icon);
    g_object_unref(square);
}

static void load_style() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, dialog_css, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

void dialog_gtk_create(DialogView* dialog) {
    load_style();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    widgets.window = window;
    gtk_widget_set_name(window, "vorn-dialog");
    gtk_window_set_title(GTK_WINDOW(window), "Vorn Demo Configuration");
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete), dialog);
    g_signal_connect(window, "key-press-event", G_CALLBACK(on_key), dialog);
    g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), dialog);

    GtkWidget* fixed_widget = gtk_fixed_new();
    gtk_widget_set_size_request(fixed_widget, unit_x(TEMPLATE_WIDTH), unit_y(TEMPLATE_HEIGHT));
    gtk_container_add(GTK_CONTAINER(window), fixed_widget);
    GtkFixed* fixed = GTK_FIXED(fixed_widget);

    // In the template's order, which is also the keyboard's.
    add_group(fixed, "Sound Configuration", 4, 2, 197, 167);
    add_label(fixed, "Choose an output driver", 10, 14);
    add_list(fixed, dialog, 0, IDC_OUTPUT, 10, 22);
    add_label(fixed, "Choose a sound device", 10, 41);
    add_list(fixed, dialog, 1, IDC_SOUND_DRIVER, 10, 49);
    add_label(fixed, "Choose a Mixing driver", 10, 70);
    add_list(fixed, dialog, 2, IDC_MIXER, 10, 81);
    add_group(fixed, "Select Output Rate", 14, 100, 175, 59);
    static const char* const rate_texts[4] = {"44,100 Hz", "22,050 Hz", "11,025 Hz", "8,000 Hz"};
    static const int rate_rows[4] = {113, 122, 132, 142};
    GSList* group = nullptr;
    for (int i = 0; i < 4; i++) {
        GtkWidget* radio = gtk_radio_button_new_with_label(group, rate_texts[i]);
        group = gtk_radio_button_get_group(GTK_RADIO_BUTTON(radio));
        g_object_set_data(G_OBJECT(radio), "control-id", GINT_TO_POINTER(IDC_RATE_44KHZ + i));
        g_signal_connect(radio, "toggled", G_CALLBACK(on_radio_toggled), dialog);
        place(fixed, radio, 84, rate_rows[i], 0, 0);
        widgets.rates[i] = radio;
    }
    widgets.sound_note = add_label(fixed, "", 10, 159, 187);
    add_group(fixed, "Display Configuration", 204, 2, 196, 68);
    add_label(fixed, "Choose a display device", 210, 15);
    add_list(fixed, dialog, 3, IDC_DISPLAY_DEVICE, 210, 23);
    add_label(fixed, "Choose a display mode", 210, 42);
    add_list(fixed, dialog, 4, IDC_DISPLAY_MODE, 210, 50);
    add_button(fixed, dialog, "Test SND", IDC_TEST_SOUND, 207, 75, 37, 15);
    widgets.test_display = add_button(fixed, dialog, "Test GFX", IDC_TEST_DISPLAY, 245, 75, 37, 15);
    widgets.run = add_button(fixed, dialog, "Run DEMO", IDOK, 290, 73, 53, 17);
    add_button(fixed, dialog, "Exit", IDCANCEL, 346, 73, 50, 17);
    gtk_widget_set_can_default(widgets.run, TRUE);
    gtk_window_set_default(GTK_WINDOW(window), widgets.run);
    GdkPixbuf* picture = load_picture();
    gtk_fixed_put(fixed, gtk_image_new_from_pixbuf(picture),
                  unit_x(204) + (unit_x(197) - PICTURE_WIDTH) / 2,
                  unit_y(93) + (unit_y(76) - PICTURE_HEIGHT) / 2);
    set_icon(GTK_WINDOW(window), picture);
    g_object_unref(picture);
    gtk_widget_show_all(fixed_widget);

    config_dialog_proc(dialog, WM_INITDIALOG, 0, 0);
    follow_view(dialog);
}

void dialog_gtk_show(DialogView* dialog, int x, int y) {
    if (dialog->ended) return;
    GtkWindow* window = GTK_WINDOW(widgets.window);
    if (dialog->position_known) {
        gtk_window_move(window, x, y);
        dialog->window_x = x;
        dialog->window_y = y;
    }
    gtk_widget_show(widgets.window);
    gtk_window_present(window);
    gtk_widget_grab_focus(widgets.run);
}

void dialog_gtk_wait_event() {
    gtk_main_iteration_do(TRUE);
}

void dialog_gtk_finish() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    gdk_display_sync(gdk_display_get_default());
}

void dialog_gtk_press(DialogView* dialog, int id) {
    dialog_press(dialog, id);
    if (widgets.window) follow_view(dialog);
}

void dialog_gtk_message_box(const char* caption, const char* text, int flags) {
    if (stop_signal) return;
    std::string shown = text;
    while (!shown.empty() && shown.back() == '\n') shown.pop_back();
    GtkWindow* owner = widgets.window && gtk_widget_get_visible(widgets.window)
                           ? GTK_WINDOW(widgets.window)
                           : nullptr;
    const GtkMessageType type = (flags & MB_ICONHAND) ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO;
    GtkWidget* box =
        gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, type, GTK_BUTTONS_OK, "%s", shown.c_str());
    gtk_window_set_title(GTK_WINDOW(box), caption);
    gtk_window_set_keep_above(GTK_WINDOW(box), TRUE);
    if (!owner) gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    widgets.open_box = box;
    gtk_dialog_run(GTK_DIALOG(box));
    widgets.open_box = nullptr;
    gtk_widget_destroy(box);
}
