#pragma once
// A view's window that is a GTK drawing area: the live preview of the
// settings program. GTK 3's own GL widget gives core-profile contexts only,
// and the view draws with the fixed-function pipeline, so the view gets a GLX
// context on the area's own native X window instead.
//
// Prepare() the area before it is realised (it gets a GLX-capable visual and
// GTK stops painting it); create the window once the area is realised. GDK's
// X11 backend is required. The area must outlive the window, which must
// outlive the contexts it hands out. Main thread only.
#include <memory>

#include "platform/ViewWindow.h"

typedef struct _GtkWidget GtkWidget;

class GtkViewWindow final : public ViewWindow {
 public:
  // False when the display is not an X11 one or GLX offers no visual.
  static bool Prepare(GtkWidget* area);

  explicit GtkViewWindow(GtkWidget* area) : area_(area) {}

  ViewRect FrameOnRoot() override;
  // Null when the area is not realised or GLX refuses.
  std::unique_ptr<OpenGLContext> CreateContext() override;

 private:
  GtkWidget* area_;
};
