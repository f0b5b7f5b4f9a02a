#pragma once
// The screen-saver view: one per screen (and a small one for a preview). It
// owns its OpenGL context, the settings record, the background picture and
// the scene, decides whether it draws at all (main screen only), sets up
// OpenGL and builds the scene on its first frame, and runs the frame loop
// with its own time-step rules.
//
// Life: created (settings loaded; with background source 0 the main display
// is captured now, before the first frame) -> startAnimation (decides whether
// this screen draws; clears to black) -> first animateOneFrame (OpenGL
// set-up, scene built, nothing drawn) -> frames -> stopAnimation ->
// destroyed (scene and textures released with the context current). A size
// change re-runs the OpenGL set-up on the next frame; the scene is resized,
// never rebuilt.
//
// Frame steps are measured on the host's frame clock: a step over 2.0 s
// (a stall) is dropped without drawing and the next step is measured from
// then; a step of 0.01 s or less is not drawn and keeps accumulating.
//
// Each frame repaints only what changed: the scene reports its damage (see
// SSMAIN::AddDamage), the view widens it by what changed since the frame the
// context's back buffer holds (OpenGLContext::BackBufferAge), draws the
// scene once per damaged rectangle under the scissor, and hands the
// rectangles to the context to show. A context that keeps no frames gets
// whole frames, as does the first frame, one after a size change and one
// after setNeedsDisplay (an expose, a new background). The pictures are the
// same either way, pixel for pixel.
//
// A scene whose set-up failed (no resource pack, no butterfly types) draws
// nothing: the frames go on, clearing to black, and one line on standard
// error names the file or folder at fault. Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/FpsOverlay.h"
#include "host/WingdriftHost.h"
#include "platform/OpenGLContext.h"
#include "platform/ScreenSaverView.h"
#include "platform/ViewRect.h"
#include "platform/ViewWindow.h"
#include "scene/SSMAIN.h"
#include "util/DamageRegion.h"
#include "util/SETTINGS.h"
#include "util/Texture.h"

class WingdriftView : public ScreenSaverView {
 public:
  bool MainMonitorOnly = false;  // draw only on the main screen (stored "MainMonitorOnly")
  // This view draws; cleared by startAnimation when MainMonitorOnly is set
  // and the view is not on the main screen.
  bool ThisScreenIsOn = true;
  std::unique_ptr<OpenGLContext> glView;  // the view's OpenGL context on its window
  bool viewAllocated = false;             // glView exists
  bool glReady = false;                   // GL state is set up for the current size
  bool initialized = false;               // the scene has been built (whatever the outcome)
  SETTINGS mySettings;                    // loaded when the view is created
  double animtime = 0.0;                  // frame-clock time of the last frame step, s
  ViewRect Scrn;                          // only the size is used: the drawable, pixels
  std::unique_ptr<SSMAIN> ssMain;         // the scene, built on the first frame
  // The background picture; the only owner of its GL name (the scene just
  // refers to it).
  Texture DeskTex;
  // The last drawn frame: what changed on the screen (whole on a frame drawn
  // whole for its own reasons), and what was repainted to show it.
  DamageRegion frameDamage;
  DamageRegion drawnDamage;
  // Repaint each damaged rectangle in a pass of its own (the scene's geometry
  // once per rectangle), rather than their bounding box in one pass.
  bool repaintEachRect = true;

  // Loads the settings, creates the OpenGL context on `window` and, with
  // background source 0, captures the main display (detail 0 in the preview,
  // else the stored detail); a capture that fails or comes out black switches
  // this view to source 1, the desktop picture file. `frame` is where the
  // view lies, root coordinates.
  WingdriftView(const ViewRect& frame, bool isPreview, std::unique_ptr<ViewWindow> window,
                WingdriftHost host);
  // Releases the scene and the background with the view's context current.
  ~WingdriftView() override;

  void startAnimation() override;
  void stopAnimation() override;
  void animateOneFrame() override;
  void setFrameSize(double width, double height) override;
  // The next frame is drawn whole (the window was exposed, or something
  // changed that the scene does not track, such as the background's pixels).
  void setNeedsDisplay() override;

  bool hasConfigureSheet() const { return true; }
  // The host does not fade the display before the saver starts.
  static bool performGammaFade() { return false; }

  // Viewport, shading, depth test and colour material for the current size,
  // then the perspective projection; tells the scene the new size.
  void glInit();
  // Perspective projection: 45 degrees vertically, aspect Scrn's width /
  // height in single precision, near 1, far 120; the model-view matrix reset.
  void glReshape();
  // Seeds the random generator, builds the scene from the resource pack and
  // the settings, and loads the background for sources 1 and 2. False when
  // the scene could not be built (the background is then not loaded).
  bool mainSetup();

  // Captures the main display into the texture *name (named as needed) at
  // `detail`; *name is 0 afterwards when the capture failed or was black.
  void captureDesktop(unsigned* name, int detail);
  // The display mask (one bit per screen number) of the first screen that
  // `frame` (root coordinates) overlaps, else of the main screen; 0 when no
  // screen is known.
  uint32_t getScreenMaskForFrame(const ViewRect& frame);
  // An alternative capture, not used by the view: the picture of the main
  // display scaled with GLU into a texture of the capture's size for
  // `detail`. *name is left as it was when there is nothing to read, and is
  // deleted and set to 0 when the picture is black or cannot be scaled.
  void GetDesktopTexture(unsigned* name, int detail, const ViewRect& frame);

  // The screen number of the screen the view's window lies on; -1 when no
  // screen is known.
  int ScreenNumber();
  // The number of the main screen; -1 when no screen is known.
  int MainScreenNumber();

 private:
  // Frames of damage kept for contexts whose back buffer is older than the
  // last frame; an older buffer is drawn whole.
  static constexpr size_t kDamageHistory = 4;

  bool MakeCurrent();
  // Works out the damage and draws and shows this frame; the scene has
  // advanced.
  void DrawFrame();
  int Detail() const;
  void ReportSetupFailure(const char* resourceFile, const char* message);

  WingdriftHost host_;
  bool needsFullFrame_ = true;
  bool resized_ = false;  // the size changed since the last frame was shown
  bool firstFrameShown_ = false;
  std::vector<DamageRegion> damageHistory_;  // frameDamage of earlier frames, newest first
  FpsOverlay fps_;      // counted and drawn only with host_.showFps
  std::string fpsShown_;  // the frame-rate text of the last drawn frame
};
