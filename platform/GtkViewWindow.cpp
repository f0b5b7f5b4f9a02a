#include "platform/GtkViewWindow.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "platform/GLXPixelFormat.h"
#include "platform/X11Errors.h"
#include "platform/X11GLContext.h"

namespace {

constexpr int kPreviewSamples = 4;  // multisampling of the preview, per pixel

// GTK paints nothing of its own over the area; the view's frames show.
gboolean DrawNothing(GtkWidget*, cairo_t*, gpointer) { return TRUE; }

}  // namespace

bool GtkViewWindow::Prepare(GtkWidget* area) {
  GdkDisplay* display = gtk_widget_get_display(area);
  if (!GDK_IS_X11_DISPLAY(display)) return false;
  GdkScreen* screen = gtk_widget_get_screen(area);
  Display* xdisplay = gdk_x11_display_get_xdisplay(display);
  // The preview is small and looked at closely: smooth edges, whatever the
  // renderer.
  GLXPixelFormat format;
  if (!GLXPixelFormat::ForNewWindow(xdisplay, gdk_x11_screen_get_screen_number(screen), &format,
                                    kPreviewSamples)) {
    return false;
  }
  GdkVisual* visual = gdk_x11_screen_lookup_visual(screen, format.visualInfo.visualid);
  if (visual == nullptr) return false;
  gtk_widget_set_visual(area, visual);
  gtk_widget_set_app_paintable(area, TRUE);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_widget_set_double_buffered(area, FALSE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_signal_connect(area, "draw", G_CALLBACK(DrawNothing), nullptr);
  // The toolkit's error traps must keep working beside the view's own.
  X11Errors::PassOthersOn();
  return true;
}

ViewRect GtkViewWindow::FrameOnRoot() {
  GtkAllocation a;
  gtk_widget_get_allocation(area_, &a);
  int x = 0, y = 0;
  if (GdkWindow* w = gtk_widget_get_window(area_)) gdk_window_get_origin(w, &x, &y);
  return ViewRect{static_cast<double>(x), static_cast<double>(y), static_cast<double>(a.width),
                  static_cast<double>(a.height)};
}

std::unique_ptr<OpenGLContext> GtkViewWindow::CreateContext() {
  GdkWindow* window = gtk_widget_get_window(area_);
  if (window == nullptr || !GDK_IS_X11_WINDOW(window)) return nullptr;
  if (!gdk_window_ensure_native(window)) return nullptr;
  Display* xdisplay = gdk_x11_display_get_xdisplay(gdk_window_get_display(window));
  const int screen = gdk_x11_screen_get_screen_number(gdk_window_get_screen(window));
  GLXPixelFormat format;
  const VisualID visual = gdk_x11_visual_get_xvisual(gdk_window_get_visual(window))->visualid;
  if (!GLXPixelFormat::ForVisual(xdisplay, screen, visual, &format)) return nullptr;
  std::string error;
  auto context = X11GLContext::Create(xdisplay, gdk_x11_window_get_xid(window), format, &error);
  if (!context) std::fprintf(stderr, "wingdrift: %s\n", error.c_str());
  return context;
}
