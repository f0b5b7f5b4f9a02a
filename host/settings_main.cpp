// wingdrift-settings: the configuration sheet of the Wingdrift screen saver
// in a window of its own, beside a live preview of the flock.
//
// The preview is a WingdriftView drawing into a GTK drawing area at 1/60 s;
// the sheet is filled once the preview's first frame has built the scene, so
// that the type pop-up lists the installed types. Save stores the settings
// and closes the window; Cancel, Escape and closing the window store
// nothing. A saver that is running keeps its settings until it next starts.
// Once a downloaded type has landed, the preview is recreated as a fresh view
// (as the host would create one), so that its type pop-up lists the new
// type; the sheet keeps what the user had changed.
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "host/WingdriftView.h"
#include "platform/DesktopPicture.h"
#include "platform/GtkViewWindow.h"
#include "platform/HeapPolicy.h"
#include "platform/MonotonicClock.h"
#include "platform/ResourceFolder.h"
#include "platform/X11DesktopSource.h"
#include "platform/XRandRScreens.h"

namespace {

constexpr int kPreviewWidth = 400;  // pixels, the saver's own preview size
constexpr int kPreviewHeight = 300;
constexpr unsigned kFrameMilliseconds = 1000 / 60;

const char kUsage[] =
    "Usage: wingdrift-settings\n"
    "The settings of the Wingdrift screen saver, with a live preview.\n"
    "Save stores them in ~/.config/wingdrift/qvWingdrift.plist; the saver\n"
    "uses them from its next start.\n";

// The desktop as it was before this window opened: a preview recreated
// later shows that picture, not this window covering the desktop.
class KeptDesktop final : public DesktopSource {
 public:
  explicit KeptDesktop(DesktopSource* source) : source_(source) {}
  bool Grab(RgbaImage* out) override {
    if (!kept_.Valid() && !source_->Grab(&kept_)) return false;
    *out = kept_;
    return true;
  }

 private:
  DesktopSource* source_;
  RgbaImage kept_;
};

struct App {
  GtkWidget* window = nullptr;
  GtkWidget* area = nullptr;
  GtkWidget* slot = nullptr;  // holds a spinner, then the sheet
  WingdriftHost host;
  std::unique_ptr<WingdriftView> view;
  guint timer = 0;
  guint recreate = 0;  // the idle source that recreates the view; 0: none
  bool filled = false;
  // The unsaved sheet of the view that was replaced, for the fresh one.
  std::unique_ptr<WingdriftView::SheetEdits> edits;
  int status = 0;
};

void Quit(App* app);
void ScheduleRecreate(App* app);

// The preview view, on the drawing area, started when `start`; false when
// it cannot draw.
bool CreateView(App* app, bool start) {
  const ViewRect frameRect{0, 0, kPreviewWidth, kPreviewHeight};
  app->view = std::make_unique<WingdriftView>(
      frameRect, true, std::make_unique<GtkViewWindow>(app->area), app->host);
  if (!app->view->viewAllocated) return false;
  app->view->onSheetEnded = [app](bool) { Quit(app); };
  app->view->onTypeLanded = [app](const std::string&) { ScheduleRecreate(app); };
  GtkAllocation a;
  gtk_widget_get_allocation(app->area, &a);
  if (a.width > 1 && a.height > 1) app->view->setFrameSize(a.width, a.height);
  if (start) app->view->startAnimation();
  return true;
}

// Replaces the view (from the main loop: the old view is still in the call
// that asked for this) and empties the slot until the fresh view's first
// frame fills it with a new sheet.
gboolean Recreate(gpointer data) {
  App* app = static_cast<App*>(data);
  app->recreate = 0;
  if (app->filled) {
    app->edits = std::make_unique<WingdriftView::SheetEdits>(app->view->configureSheet_edits());
  }
  app->view->stopAnimation();
  app->view.reset();  // its sheet's widgets go with it, before the slot is emptied
  gtk_container_foreach(
      GTK_CONTAINER(app->slot), [](GtkWidget* w, gpointer) { gtk_widget_destroy(w); }, nullptr);
  app->filled = false;
  if (!CreateView(app, true)) {
    std::fprintf(stderr, "wingdrift-settings: OpenGL cannot draw the preview (no GLX context)\n");
    app->status = 1;
    Quit(app);
  }
  return G_SOURCE_REMOVE;
}

void ScheduleRecreate(App* app) {
  if (app->recreate == 0) app->recreate = g_idle_add(Recreate, app);
}

void Quit(App* app) {
  if (app->timer != 0) g_source_remove(app->timer);
  app->timer = 0;
  if (app->recreate != 0) g_source_remove(app->recreate);
  app->recreate = 0;
  gtk_main_quit();
}

// Moves the sheet's content from the sheet window into ours.
bool FillWithSheet(App* app) {
  GtkWidget* sheet = app->view->configureSheet();
  if (sheet == nullptr) return false;
  GtkWidget* content = gtk_bin_get_child(GTK_BIN(sheet));
  if (content == nullptr) return false;
  g_object_ref(content);
  gtk_container_remove(GTK_CONTAINER(sheet), content);
  gtk_container_foreach(
      GTK_CONTAINER(app->slot), [](GtkWidget* w, gpointer) { gtk_widget_destroy(w); }, nullptr);
  gtk_box_pack_start(GTK_BOX(app->slot), content, TRUE, TRUE, 0);
  g_object_unref(content);
  gtk_widget_set_can_default(app->view->oSave, TRUE);
  gtk_window_set_default(GTK_WINDOW(app->window), app->view->oSave);
  gtk_widget_grab_focus(app->view->oMaxBFly);
  return true;
}

gboolean Tick(gpointer data) {
  App* app = static_cast<App*>(data);
  app->view->animateOneFrame();
  if (!app->filled && app->view->initialized) {
    app->filled = true;
    if (!FillWithSheet(app)) {
      app->status = 1;
      app->timer = 0;
      gtk_main_quit();
      return G_SOURCE_REMOVE;
    }
    if (app->edits) {
      app->view->configureSheet_restore(std::move(*app->edits));
      app->edits.reset();
    }
  }
  return G_SOURCE_CONTINUE;
}

void OnAreaResized(GtkWidget*, GdkRectangle* a, gpointer data) {
  App* app = static_cast<App*>(data);
  if (app->view) app->view->setFrameSize(a->width, a->height);
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  App* app = static_cast<App*>(data);
  // Closing the window is Cancel; before the sheet is there, simply quit.
  if (app->filled) {
    app->view->configureSheet_cancel(nullptr);
  } else {
    Quit(app);
  }
  return TRUE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
  if (event->keyval != GDK_KEY_Escape) return FALSE;
  return OnDelete(nullptr, nullptr, data);
}

}  // namespace

int main(int argc, char** argv) {
  KeepFreedHeapMemory();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("wingdrift-settings %s\n", WINGDRIFT_VERSION);
      return 0;
    }
  }
  // The preview draws with GLX; under Wayland it runs through XWayland.
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "wingdrift-settings: cannot open the X display\n");
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    std::fprintf(stderr, "wingdrift-settings: unknown option '%s' (see --help)\n", argv[i]);
    return 2;
  }
  g_set_application_name("Wingdrift Settings");
  gtk_window_set_default_icon_name("wingdrift");

  App app;
  app.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(app.window), "Wingdrift Settings");
  gtk_window_set_resizable(GTK_WINDOW(app.window), FALSE);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_container_add(GTK_CONTAINER(app.window), box);

  GtkWidget* left = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_widget_set_margin_start(left, 18);
  gtk_widget_set_margin_top(left, 18);
  gtk_widget_set_margin_bottom(left, 18);
  GtkWidget* frame = gtk_frame_new(nullptr);
  app.area = gtk_drawing_area_new();
  gtk_widget_set_size_request(app.area, kPreviewWidth, kPreviewHeight);
  gtk_container_add(GTK_CONTAINER(frame), app.area);
  gtk_box_pack_start(GTK_BOX(left), frame, FALSE, FALSE, 0);
  GtkWidget* note = gtk_label_new(
      "The preview flies the settings stored when this window opened. Saved changes "
      "take effect the next time the screen saver starts.");
  gtk_label_set_line_wrap(GTK_LABEL(note), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(note), 50);
  gtk_label_set_xalign(GTK_LABEL(note), 0);
  gtk_style_context_add_class(gtk_widget_get_style_context(note), "dim-label");
  gtk_box_pack_start(GTK_BOX(left), note, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), left, FALSE, FALSE, 0);

  app.slot = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_widget_set_size_request(app.slot, 360, -1);
  GtkWidget* spinner = gtk_spinner_new();
  gtk_spinner_start(GTK_SPINNER(spinner));
  gtk_box_pack_start(GTK_BOX(app.slot), spinner, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(box), app.slot, TRUE, TRUE, 0);

  if (!GtkViewWindow::Prepare(app.area)) {
    std::fprintf(stderr, "wingdrift-settings: OpenGL (GLX) cannot draw on this display\n");
    return 1;
  }
  // Realised but not yet shown: the preview's desktop picture is taken
  // before our window covers any of the desktop.
  gtk_widget_realize(app.window);
  gtk_widget_realize(app.area);

  Display* xdisplay = gdk_x11_display_get_xdisplay(gtk_widget_get_display(app.window));
  MonotonicClock clock;
  XRandRScreens screens(xdisplay);
  X11DesktopSource x11Desktop(xdisplay, 0);
  KeptDesktop desktop(&x11Desktop);
  DesktopPicture desktopPicture;
  WingdriftHost& host = app.host;
  host.clock = &clock;
  host.screens = &screens;
  host.desktop = &desktop;
  host.desktopPicture = [&desktopPicture](int screen) {
    return desktopPicture.PathForScreen(screen);
  };
  host.resourceFolder = ResourceFolder::Path();

  if (!CreateView(&app, false)) {
    std::fprintf(stderr, "wingdrift-settings: OpenGL cannot draw the preview (no GLX context)\n");
    return 1;
  }

  g_signal_connect(app.area, "size-allocate", G_CALLBACK(OnAreaResized), &app);
  g_signal_connect(app.window, "delete-event", G_CALLBACK(OnDelete), &app);
  g_signal_connect(app.window, "key-press-event", G_CALLBACK(OnKey), &app);
  gtk_widget_show_all(app.window);

  app.view->startAnimation();
  app.timer = g_timeout_add(kFrameMilliseconds, Tick, &app);
  gtk_main();
  if (app.timer != 0) g_source_remove(app.timer);
  if (app.recreate != 0) g_source_remove(app.recreate);
  if (app.view) app.view->stopAnimation();
  // The view's context goes before the window it draws on.
  app.view.reset();
  gtk_widget_destroy(app.window);
  return app.status;
}
