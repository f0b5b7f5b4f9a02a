#include "host/WingdriftView.h"

#include <glib.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/Settings.h"
#include "platform/DesktopCapture.h"
#include "platform/DesktopSource.h"
#include "platform/FrameClock.h"
#include "platform/ResourceFolder.h"
#include "platform/ScreenSaverDefaults.h"
#include "platform/ScreenSource.h"
#include "scene/BackgroundPictures.h"
#include "util/Diagnostics.h"
#include "util/Notice.h"
#include "util/StartupTrace.h"

namespace {

// A step longer than this is a stall: dropped, not drawn.
constexpr double kMaxFrameStep = 2.0;  // s
// A step of this or less is not drawn; it keeps accumulating.
constexpr double kMinFrameStep = 0.01;  // s

// The first loader message of a scene set-up, for the line that tells the
// user what went wrong.
std::string gSetupMessage;

void RecordSetupMessage(const char* message) {
  if (gSetupMessage.empty() && message != nullptr) gSetupMessage = message;
}

uint32_t MaskForScreen(int number) {
  return number >= 0 && number < 32 ? uint32_t{1} << number : 0;
}

bool Overlaps(const ViewRect& a, const ScreenInfo& s) {
  const double left = std::max(a.x, static_cast<double>(s.x));
  const double right = std::min(a.x + a.width, static_cast<double>(s.x) + s.width);
  const double top = std::max(a.y, static_cast<double>(s.y));
  const double bottom = std::min(a.y + a.height, static_cast<double>(s.y) + s.height);
  return right > left && bottom > top;
}

}  // namespace

WingdriftView::WingdriftView(const ViewRect& frame, bool isPreview,
                             std::unique_ptr<ViewWindow> window, WingdriftHost host)
    : ScreenSaverView(frame, isPreview, std::move(window)), host_(std::move(host)) {
  ScreenSaverDefaults store(kSettingsModuleName);
  if (ViewWindow* w = this->window()) glView = w->CreateContext();
  viewAllocated = glView != nullptr;
  TraceStart("GL context created");
  glReady = false;
  // The record is filled even when first-run defaults could not be saved;
  // the view then simply writes them again next time.
  LoadSettings(&mySettings, &MainMonitorOnly, host_.resourceFolder.c_str(), store);
  host_.overrides.ApplyTo(&mySettings, &MainMonitorOnly);
  TraceStart("settings loaded");
  Scrn = bounds();
  ThisScreenIsOn = true;
  initialized = false;
  chosenBGType_ = mySettings.BGTYPE;
  if (mySettings.BGTYPE == 0) {
    // Views on several screens share the reason; Notice says it once.
    if (host_.desktop == nullptr && !host_.noDesktopReason.empty()) Notice(host_.noDesktopReason);
    DeskTex.texID = 0;
    captureDesktop(&DeskTex.texID, Detail());
    if (DeskTex.texID == 0) {
      // Without any screen (an offscreen recording) there is nothing to
      // capture by design, and nothing to tell.
      quietDesktopPicture_ = host_.desktop == nullptr && host_.noDesktopReason.empty();
      if (host_.desktop != nullptr) {
        Notice("cannot show the desktop: " + captureWhy_ + "; showing the desktop picture instead");
      }
      mySettings.BGTYPE = 1;
    }
    TraceStart("desktop captured");
  }
  setAnimationTimeInterval(1.0 / 60.0);
}

WingdriftView::~WingdriftView() {
  // A running download ends here, its temporary file removed, showing
  // nothing in the sheet that goes with this view.
  downloads.outlets = {};
  downloads.theDownload.reset();
  if (pulseTimer_ != 0) g_source_remove(pulseTimer_);
  if (!MakeCurrent()) {
    // Another view's context may be current: deleting names now would
    // delete that view's textures. The names die with this view's context.
    if (glView != nullptr) glView->ReleaseCurrent();
    DeskTex.texID = 0;
  }
  if (ssMain) {
    ssMain->Cleanup();
    ssMain.reset();
  }
  DeskTex.Release();
  glView.reset();
}

bool WingdriftView::MakeCurrent() { return glView != nullptr && glView->MakeCurrent(); }

int WingdriftView::Detail() const { return isPreview() ? 0 : mySettings.BGRES; }

int WingdriftView::ScreenNumber() {
  if (host_.screens == nullptr) return 0;
  const ViewRect rect = window() != nullptr ? window()->FrameOnRoot() : frame();
  return host_.screens->Screens().NumberForRect(rect);
}

int WingdriftView::MainScreenNumber() {
  if (host_.screens == nullptr) return 0;
  const ScreenList list = host_.screens->Screens();
  const ScreenInfo* main = list.Main();
  return main != nullptr ? main->number : -1;
}

int WingdriftView::Samples() {
  if (!MakeCurrent()) return 0;
  GLint buffers = 0, samples = 0;
  glGetIntegerv(GL_SAMPLE_BUFFERS, &buffers);
  glGetIntegerv(GL_SAMPLES, &samples);
  return buffers > 0 ? samples : 0;
}

void WingdriftView::startAnimation() {
  ThisScreenIsOn = true;
  if (MainMonitorOnly && ScreenNumber() != MainScreenNumber()) ThisScreenIsOn = false;
  // The screen is black until the first frame. A window that is black by
  // itself is left so: at full screen with software OpenGL a black frame
  // costs as much as a drawn one, just before the first drawn one.
  const bool black = window() != nullptr && window()->BlackUntilDrawn();
  if (!black && MakeCurrent()) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glView->FlushBuffer();
  }
  ScreenSaverView::startAnimation();
}

void WingdriftView::stopAnimation() { ScreenSaverView::stopAnimation(); }

void WingdriftView::animateOneFrame() {
  if (!ThisScreenIsOn) {
    stopAnimation();
    return;
  }
  if (!MakeCurrent()) return;
  if (!glReady) {
    glInit();
    glReady = true;
    TraceStart("GL set up");
  }
  if (!initialized) {
    mainSetup();
    initialized = true;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // Shown at once rather than a step later: the first pixels are what a
    // user waits for.
    Step(0.0, animtime);
    return;
  }
  const double now = host_.clock->Now();
  const double dt = now - animtime;
  if (dt > kMaxFrameStep) {
    animtime = now;
    return;
  }
  if (dt <= kMinFrameStep) return;
  animtime = now;
  Step(dt, now);
}

void WingdriftView::Step(double dt, double now) {
  if (ssMain) ssMain->Update(dt);
  glReshape();
  if (ssMain) ssMain->Advance();
  if (host_.showFps) fps_.Frame(now, FpsOverlay::ProcessCpuSeconds());
  DrawFrame();
}

void WingdriftView::DrawFrame() {
  const int width = static_cast<int>(Scrn.width);
  const int height = static_cast<int>(Scrn.height);
  frameDamage.Reset(width, height);
  if (ssMain && !needsFullFrame_)
    ssMain->AddDamage(&frameDamage);
  else
    frameDamage.AddFull();
  // The frame-rate text changes once a second; the scene's damage below it
  // is repainted with the text over it in every pass.
  PixelRect fpsRect;
  if (host_.showFps) {
    int r[4];
    FpsOverlay::Bounds(width, height, r);
    fpsRect = PixelRect{r[0], r[1], r[2], r[3]};
    std::string text = fps_.Text();
    if (text != fpsShown_) frameDamage.Add(fpsRect);
    fpsShown_ = std::move(text);
  }
  frameDamage.Finish();
  needsFullFrame_ = false;

  // The buffer holds the frame of `age` frames ago: everything that changed
  // since then is repainted.
  const int age = glView->BackBufferAge();
  drawnDamage = frameDamage;
  if (age <= 0 || static_cast<size_t>(age - 1) > damageHistory_.size()) {
    drawnDamage.AddFull();
  } else {
    for (int i = 0; i < age - 1; ++i) drawnDamage.Add(damageHistory_[static_cast<size_t>(i)]);
    drawnDamage.Finish();
  }
  damageHistory_.insert(damageHistory_.begin(), frameDamage);
  if (damageHistory_.size() > kDamageHistory) damageHistory_.pop_back();

  // One pass: the scene (or black without one), then the frame-rate text.
  auto pass = [&](const PixelRect* within) {
    if (ssMain)
      ssMain->Render(within);
    else
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (host_.showFps && (within == nullptr || within->Intersects(fpsRect)))
      fps_.Draw(width, height);
  };
  if (drawnDamage.full()) {
    glDisable(GL_SCISSOR_TEST);
    pass(nullptr);
  } else {
    glEnable(GL_SCISSOR_TEST);
    if (repaintEachRect) {
      for (const PixelRect& r : drawnDamage.rects()) {
        glScissor(r.x, r.y, r.width, r.height);
        pass(&r);
      }
    } else if (!drawnDamage.empty()) {
      const PixelRect box = drawnDamage.Bounds();
      glScissor(box.x, box.y, box.width, box.height);
      pass(&box);
    }
    glDisable(GL_SCISSOR_TEST);
  }
  // The first frame after a size change is swapped whole: a back buffer that
  // is only ever copied from may keep its old size until a swap (Mesa's
  // software GLX), and the swap gives the next frame one of the new size.
  if (resized_) {
    glView->FlushBuffer();
    resized_ = false;
  } else {
    glView->FlushBuffer(drawnDamage.rects());
  }
  if (!firstFrameShown_) {
    firstFrameShown_ = true;
    TraceStart("first frame shown");
  }
}

void WingdriftView::setNeedsDisplay() { needsFullFrame_ = true; }

void WingdriftView::setFrameSize(double width, double height) {
  ScreenSaverView::setFrameSize(width, height);
  // The context follows its window's size by itself; only the GL state for
  // the size is stale, and the window's contents.
  glReady = false;
  needsFullFrame_ = true;
  resized_ = true;
}

void WingdriftView::glInit() {
  Scrn = bounds();
  const int width = static_cast<int>(Scrn.width);
  const int height = static_cast<int>(Scrn.height);
  glViewport(0, 0, width, height);
  if (ssMain) ssMain->SetSize(width, height);
  glShadeModel(GL_SMOOTH);
  glClearColor(0, 0, 0, 0);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glReshape();
  fps_.samples = Samples();
}

void WingdriftView::glReshape() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A window can be 0 pixels high for a moment while it is being resized.
  const float height = std::max(1.0f, static_cast<float>(Scrn.height));
  gluPerspective(45.0, static_cast<float>(Scrn.width) / height, 1.0, 120.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool WingdriftView::mainSetup() {
  const ViewRect b = bounds();
  std::srand(host_.seed ? *host_.seed : static_cast<unsigned>(std::time(nullptr)));

  if (ssMain) {
    ssMain->Cleanup();
    ssMain.reset();
  }
  ssMain = std::make_unique<SSMAIN>();

  const std::string resourceFile = host_.resourceFolder + kResourceFileName;
  gSetupMessage.clear();
  const ReportHook previous = SetErrorCloseHook(RecordSetupMessage);
  const bool ok = ssMain->Setup(isPreview(), static_cast<int>(b.width),
                                static_cast<int>(b.height), &mySettings, resourceFile.c_str());
  SetErrorCloseHook(previous);
  if (!ok) {
    ReportSetupFailure(resourceFile.c_str(), gSetupMessage.c_str());
    return false;
  }

  const int detail = Detail();
  const std::string fallback = host_.resourceFolder + kFallbackPictureName;
  std::string why;
  bool loaded = mySettings.BGTYPE == 0;  // captured when the view was created
  if (mySettings.BGTYPE == 1) {
    // Not every desktop names a picture (or there is no desktop at all, as
    // in an offscreen recording); the shipped picture stands in then.
    const std::string path = host_.desktopPicture ? host_.desktopPicture(ScreenNumber()) : "";
    if (path.empty()) {
      why = "no desktop picture found";
    } else if (loadPicFile(path.c_str(), &DeskTex, detail, &why)) {
      loaded = true;
    } else {
      why = "the desktop picture \"" + path + "\" " + why;
    }
  } else if (mySettings.BGTYPE == 2) {
    loaded = LoadPicture(mySettings.BGPath, &DeskTex, detail, &why);
  }
  if (!loaded) {
    std::string fallbackWhy;
    if (loadPicFile(fallback.c_str(), &DeskTex, detail, &fallbackWhy)) {
      if (!quietDesktopPicture_) Notice(why + "; showing \"" + fallback + "\"");
    } else {
      Notice(why + "; the shipped picture \"" + fallback + "\" " + fallbackWhy +
             " too; the background is black");
    }
  }
  // The picture's own shape, so that the scene crops it to the view instead
  // of squeezing it.
  if (mySettings.BGTYPE == 0) {
    ssMain->bgAspect = captureHeight_ > 0 ? static_cast<float>(captureWidth_) / captureHeight_ : 0;
  } else {
    ssMain->bgAspect =
        DeskTex.height > 0 ? static_cast<float>(DeskTex.width) / static_cast<float>(DeskTex.height) : 0;
  }
  ssMain->bgTexID = DeskTex.texID;
  TraceStart("background picture loaded");
  animtime = host_.clock->Now();
  return true;
}

void WingdriftView::ReportSetupFailure(const char* resourceFile, const char* message) {
  std::string line;
  const std::string detail = message[0] != '\0' ? std::string(" (") + message + ")" : "";
  // The scene stores its size only after the resource pack loaded, so a
  // scene without one failed on the pack.
  if (ssMain->width == 0 && ssMain->height == 0) {
    line = std::string("wingdrift: cannot load the resource file \"") + resourceFile + "\"" +
           detail + "; drawing nothing";
    std::error_code ec;
    if (!std::filesystem::exists(resourceFile, ec)) {
      line += " (" + ResourceFolder::HowToFill(host_.resourceFolder) + ")";
    }
  } else {
    line = std::string("wingdrift: no butterflies could be set up from \"") + mySettings.BFlyPath +
           "\"";
    if (mySettings.BFlyPath2[0] != '\0') {
      line += std::string(" or \"") + mySettings.BFlyPath2 + "\"";
    }
    line += detail + "; drawing nothing";
  }
  // Views on several screens meet the same fault; say it once.
  static std::string lastLine;
  if (line == lastLine) return;
  lastLine = line;
  std::fprintf(stderr, "%s\n", line.c_str());
}

void WingdriftView::captureDesktop(unsigned* name, int detail) {
  if (name == nullptr) return;
  captureWidth_ = captureHeight_ = 0;
  if (!MakeCurrent()) {
    // Without the view's context the old name cannot be deleted safely.
    *name = 0;
    captureWhy_ = "OpenGL cannot draw on the view";
    return;
  }
  if (host_.desktop == nullptr) {
    if (*name != 0) glDeleteTextures(1, name);
    *name = 0;
    captureWhy_ = "there is no screen to capture";
    return;
  }
  // The monitor this view lies on, not the main one.
  const ViewRect area = window() != nullptr ? window()->FrameOnRoot() : frame();
  CaptureResult result;
  if (CaptureDesktopTexture(*host_.desktop, area, detail, name, &result,
                            host_.preparedCaptures)) {
    captureWidth_ = result.width;
    captureHeight_ = result.height;
  }
  captureWhy_ = result.why;
}

uint32_t WingdriftView::getScreenMaskForFrame(const ViewRect& frame) {
  if (host_.screens == nullptr) return MaskForScreen(0);
  const ScreenList list = host_.screens->Screens();
  for (const ScreenInfo& s : list.screens) {
    if (Overlaps(frame, s)) return MaskForScreen(s.number);
  }
  const ScreenInfo* main = list.Main();
  return main != nullptr ? MaskForScreen(main->number) : 0;
}

void WingdriftView::GetDesktopTexture(unsigned* name, int detail, const ViewRect& frame) {
  if (name == nullptr || host_.desktop == nullptr) return;
  if (getScreenMaskForFrame(frame) == 0) return;
  RgbaImage image;
  if (!host_.desktop->Grab(&image) || !image.Valid() || !MakeCurrent()) return;
  // The read-back rows of a full-screen context come bottom row first.
  FlipRows(image.pixels.data(), static_cast<size_t>(image.width) * 4, image.height);

  if (*name == 0) glGenTextures(1, name);
  glBindTexture(GL_TEXTURE_2D, *name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  const int cap = CaptureSizeCap(detail, maxSize);
  const int width = CaptureTextureSide(image.width, cap);
  const int height = CaptureTextureSide(image.height, cap);
  std::vector<uint8_t> scaled(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  const bool ok = width > 0 && height > 0 &&
                  gluScaleImage(GL_RGBA, image.width, image.height, GL_UNSIGNED_BYTE,
                                image.pixels.data(), width, height, GL_UNSIGNED_BYTE,
                                scaled.data()) == 0 &&
                  HasNonBlackPixel(scaled.data(), scaled.size() / 4);
  if (ok) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 scaled.data());
  } else {
    glDeleteTextures(1, name);
    *name = 0;
  }
}
