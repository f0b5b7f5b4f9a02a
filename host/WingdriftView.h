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
// set-up, scene built, and drawn at once with a zero step: the picture, the
// flock not yet moved) -> frames -> stopAnimation ->
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
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/ButterflyDownloads.h"
#include "host/FolderPanel.h"
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

// GTK's widget and builder types, declared as GTK declares them, so that the
// view's users need not include GTK (only the configuration sheet uses it).
typedef struct _GtkWidget GtkWidget;
typedef struct _GtkBuilder GtkBuilder;

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

  // The configuration sheet (WingdriftViewSheet.cpp), loaded from the
  // interface file "Wingdrift.ui" of the resource folder on the first
  // configureSheet(). The outlets are the widgets of the same ids; they are
  // null until the sheet is loaded.
  std::unique_ptr<FolderPanel> openPanel;  // asks for folders; GTK's dialog unless replaced
  GtkWidget* configureSheetWindow = nullptr;  // the sheet window (id "configureSheet")
  GtkWidget* oSave = nullptr;                 // button
  GtkWidget* oMainMonitorOnly = nullptr;      // check button: MainMonitorOnly
  GtkWidget* oBFlyType = nullptr;             // combo box of the installed types' names
  GtkWidget* oMixBFly = nullptr;              // combo box: MIXBFLY
  GtkWidget* oMaxBFly = nullptr;              // spin button: MAX_BFLY
  GtkWidget* oWantShadow = nullptr;           // check button: WANTSHADOW
  GtkWidget* oBFlySize = nullptr;             // spin button: LBFLYSIZE, per cent
  GtkWidget* oFlySpeed = nullptr;             // spin button: LFLYSPEED, per cent
  GtkWidget* oBGType = nullptr;               // combo box: BGTYPE
  GtkWidget* oBGPath = nullptr;               // button labelled with the picture folder
  GtkWidget* oBGRes = nullptr;                // combo box: BGRES
  GtkWidget* oDirectory = nullptr;            // button labelled with BFlyPath2
  GtkWidget* oAvailableDownloads = nullptr;   // combo box of types offered for download
  GtkWidget* oCheckDownloads = nullptr;       // button
  GtkWidget* oProgress = nullptr;             // progress bar, 0..1
  GtkWidget* oDownload = nullptr;             // button
  GtkWidget* oDownloadText = nullptr;         // label: download status
  GtkWidget* oDownloadServer = nullptr;       // entry: the download server's address
  // The catalogue check and the downloads of the sheet (the view's
  // downloadData, numDownloads, bytesReceived, expectedBytes and theDownload
  // live here); its server and outlets are set when the sheet loads.
  ButterflyDownloads downloads;
  // Called once a downloaded type has landed in the data folder, with its
  // path; the settings window recreates its preview view from it (later,
  // from the main loop: the view must outlive the call). Unset: nothing.
  std::function<void(const std::string& path)> onTypeLanded;
  // Called when Save or Cancel ends the sheet, with true after a save; unset,
  // the sheet window is hidden.
  std::function<void(bool saved)> onSheetEnded;
  // Opens a web address in the desktop's browser; unset, GIO's default
  // handler for the address. False when nothing could open it.
  std::function<bool(const char* uri)> openURI;

  // Loads the settings, creates the OpenGL context on `window` and, with
  // background source 0, captures the main display (detail 0 in the preview,
  // else the stored detail); a capture that fails or comes out black switches
  // this view to source 1, the desktop picture file. `frame` is where the
  // view lies, root coordinates.
  WingdriftView(const ViewRect& frame, bool isPreview, std::unique_ptr<ViewWindow> window,
                WingdriftHost host);
  // Releases the scene and the background with the view's context current;
  // when it cannot be made current, no GL name is deleted (they go with the
  // context) and no other context stays current.
  ~WingdriftView() override;

  void startAnimation() override;
  void stopAnimation() override;
  void animateOneFrame() override;
  void setFrameSize(double width, double height) override;
  // The next frame is drawn whole (the window was exposed, or something
  // changed that the scene does not track, such as the background's pixels).
  void setNeedsDisplay() override;

  bool hasConfigureSheet() const { return true; }

  // The configuration sheet (needs GTK initialised; link wd_sheet). Loads
  // the sheet on the first call, fills the controls from the record and
  // returns the sheet window; null (with a line on standard error) when the
  // interface file cannot be loaded. Before the first frame has built the
  // scene the type pop-up is empty.
  GtkWidget* configureSheet();
  // Enabling rules: the type pop-up only at mix index 1, the picture-folder
  // button only at background index 2.
  void configureSheet_updatestates();
  // The actions of the sheet's controls; `sender` is the control.
  void configureSheet_update(GtkWidget* sender);      // a pop-up changed
  void configureSheet_defaults(GtkWidget* sender);    // default values into the controls only
  void configureSheet_bgpath(GtkWidget* sender);      // choose the picture folder
  void configureSheet_directory(GtkWidget* sender);   // choose the butterfly data folder
  void configureSheet_openwebsite(GtkWidget* sender); // the guide, in the browser
  // Stores the controls' values (nothing limited to a range) and ends the
  // sheet; a store that cannot be written keeps the sheet open and says so.
  void configureSheet_save(GtkWidget* sender);
  void configureSheet_cancel(GtkWidget* sender);      // ends the sheet, storing nothing
  // Fetches the catalogue and lists the types not yet installed.
  void configureSheet_checkdownloads(GtkWidget* sender);
  // Downloads the chosen type into BFlyPath2, verified before it lands.
  void configureSheet_download(GtkWidget* sender);
  // The server entry changed: the check follows the address (off while it
  // is empty, the button saying why).
  void configureSheet_serverchanged(GtkWidget* sender);

  // The sheet as the user left it, unsaved: carried into the sheet of a
  // fresh view that replaces this one.
  struct SheetEdits {
    std::vector<std::string> controls;  // one text per control, in outlet order
    std::string BGPath, BFlyPath2;      // the folders chosen with the panels
    std::unique_ptr<DOWNLOADDATA[]> downloadData;  // the last check's entries
    uint32_t numDownloads = 0;
    bool checked = false;               // a check filled the pop-up
  };
  // Empty when the sheet is not loaded.
  SheetEdits configureSheet_edits();
  // Into a loaded sheet; the type pop-up keeps its item of the same name.
  void configureSheet_restore(SheetEdits edits);
  // The web address configureSheet_openwebsite opens: the guide shipped
  // beside the data ("../doc/wingdrift/index.html" from the resource folder).
  std::string GuideURI() const;
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

  // Captures the monitor the view lies on into the texture *name (named as
  // needed) at `detail`; *name is 0 afterwards when the capture failed or
  // was black (the name it held is deleted when the view's context can be
  // made current).
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
  // Multisample samples per pixel of the view's context; 0: none.
  int Samples();

 private:
  // Frames of damage kept for contexts whose back buffer is older than the
  // last frame; an older buffer is drawn whole.
  static constexpr size_t kDamageHistory = 4;

  bool MakeCurrent();
  // Advances the scene by `dt` seconds and draws the frame.
  void Step(double dt, double now);
  // Works out the damage and draws and shows this frame; the scene has
  // advanced.
  void DrawFrame();
  int Detail() const;
  void ReportSetupFailure(const char* resourceFile, const char* message);
  // Points `downloads` at the loaded sheet's controls and the preview scene.
  void ConnectDownloads();

  WingdriftHost host_;
  bool needsFullFrame_ = true;
  bool resized_ = false;  // the size changed since the last frame was shown
  bool firstFrameShown_ = false;
  std::vector<DamageRegion> damageHistory_;  // frameDamage of earlier frames, newest first
  std::string fpsShown_;  // the frame-rate text of the last drawn frame
  // The background source as the settings gave it, before a failed capture
  // switched this view to source 1: the sheet shows and saves the user's
  // choice, not this view's fallback.
  int32_t chosenBGType_ = 0;
  // Owns the sheet's builder and window; released by the sheet's code.
  std::shared_ptr<GtkBuilder> sheetBuilder_;
  std::string loadedServer_;   // the address the sheet opened with; Save stores a change only
  std::string checkLabel_;     // the check button's label while a server is set
  unsigned pulseTimer_ = 0;    // GLib source pulsing oProgress; 0: none
  FpsOverlay fps_;  // counted and drawn only with host_.showFps
  int captureWidth_ = 0;    // the captured monitor's pixels; 0 when none
  int captureHeight_ = 0;   // pixels
  std::string captureWhy_;  // why the last capture failed
  // Source 0 fell back to 1 only because there is no screen at all: the
  // shipped picture standing in is no news.
  bool quietDesktopPicture_ = false;
};
