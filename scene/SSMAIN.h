#pragma once
// The scene driver of one view: the resource pack's textures, the flock, the
// camera and the light, the background quad, and the overlay (a banner that
// slides along the top or bottom edge and a centre message that fades in over
// the darkened scene).
//
// Calling order: construct, Setup, then per frame Update, DoUnderlay, the
// view's perspective projection (45 degrees, near 1, far 120), Draw; SetSize
// between frames; Cleanup or destruction at the end. Every operation except
// Update and SetSize issues OpenGL calls and needs the view's context
// current, on the thread that drives the view.
//
// All timing runs on scene time, the sum of the steps given to Update, so the
// banner and message cycles pause while the view skips frames. With steps of
// 1/60 s the banner stays hidden for the first 60 s, is then shown for 20 s
// and hidden for 30 s, alternately, changing edge and message each time it
// shows; the first centre message starts fading in at 40 s and the message
// cycle is 60 s.
//
// A view that repaints only what changed runs, per frame: Update, its
// perspective projection, Advance (all movement and timing, no drawing),
// AddDamage (what changed since the last Advance), then Render once per
// damaged rectangle with the scissor set to it. Render draws exactly the
// pixels that DoUnderlay and Draw draw for the same frame.
//
// Only a scene whose Setup succeeded is drawn: until then, and after Cleanup,
// DoUnderlay and Draw only clear the colour and depth buffers, and DoOverlay
// and DoIntro do nothing.
#include <cstdint>
#include <memory>

#include "butterflies/AQUARIUM.h"
#include <vector>

#include "util/DamageRegion.h"
#include "util/Math.h"
#include "util/PixelRect.h"
#include "util/SETTINGS.h"
#include "util/Texture.h"

class SSMAIN {
 public:
  // Slots of the resource pack the scene draws (lump indices). A slot the
  // pack lacks, or one without an image, is not drawn.
  static constexpr uint32_t kLogoTexture = 1;          // banner logo, 256 x 32 pixels
  static constexpr uint32_t kIntroTextureA = 2;        // first intro image
  static constexpr uint32_t kIntroTextureB = 3;        // second intro image
  static constexpr uint32_t kFirstMessageTexture = 4;  // message strips 4 to 7
  static constexpr uint32_t kMessageTextureCount = 4;

  double elapsed = 0.0;    // scene time, s: the sum of all steps given to Update
  double frameTime = 0.0;  // the current frame's step, s (the last Update argument)
  int32_t width = 0;       // viewport, pixels
  int32_t height = 0;      // viewport, pixels
  bool preview = false;    // the small preview: no overlay, never darkened
  float bannerTimer = 60.0f;  // s until the banner next toggles between shown and hidden
  bool bannerShown = false;   // sliding in (shown) rather than out (hidden)
  bool bannerAtTop = false;   // along the top edge rather than the bottom edge
  // Lower-left corner of the banner's logo, pixels; the message strip runs at
  // the same height. Starts below the view; x is chosen at the first show.
  point2d bannerPos = {0.0f, -35.0f};
  uint32_t messageIndex = kFirstMessageTexture + 1;  // slot of the current message strip
  // s of the current message phase: positive while a message is due, counting
  // down below zero while none is.
  float messageTimer = 0.0f;
  // Opacity of the centre message, 0..1; the background and the butterflies
  // are drawn at (1 - messageFade) of their brightness.
  float messageFade = 0.0f;
  bool introDone = false;     // the intro sequence has finished
  float introSlide = 1.0f;    // horizontal slide factor of the second intro image
  float introAlphaA = -5.0f;  // opacities of the intro images; below 0 a delay, s
  float introAlphaB = -1.0f;
  int32_t numTextures = 0;              // slots in `textures`
  std::unique_ptr<Texture[]> textures;  // one per resource lump, in lump order
  std::unique_ptr<AQUARIUM> aquarium;   // the flock
  // GL name of the background picture, set by the view after Setup. The
  // scene only refers to it: the Texture record that created it (the view's)
  // deletes it, and Cleanup just forgets it.
  uint32_t bgTexID = 0;
  // Width / height of the background picture as shown on its own (before it
  // was fitted into the texture); the picture covers the view keeping this
  // shape, centred and cropped. 0 or less: unknown, stretched to the view.
  float bgAspect = 0.0f;
  float speedFactor = 0.0f;  // flight speed for AQUARIUM::Move: the settings' LFLYSPEED / 100
  bool wantShadow = false;   // draw the shadow pass
  VECTOR3D lightPos = {0.0f, 0.0f, 100.0f};  // GL light 0 and the shadows' direction, world units
  VECTOR3D camPos = {0.0f, 0.0f, 60.0f};     // camera eye, world units; up is always (0, 1, 0)
  VECTOR3D camTarget = {0.0f, 0.0f, 0.0f};   // point the camera looks at
  // Setup succeeded and no Cleanup has run since: the frame operations draw.
  bool ready = false;
  // What the background and the butterflies are darkened by in the frame
  // being drawn: messageFade as it was before this frame's overlay timing.
  float sceneFade = 0.0f;

  SSMAIN() = default;
  ~SSMAIN();  // runs Cleanup
  SSMAIN(const SSMAIN&) = delete;
  SSMAIN& operator=(const SSMAIN&) = delete;

  // Builds the scene: a new flock, the resource pack's textures from
  // `resourceFile` (the full path of "qorvane.vessimots"), the camera
  // transform on the current matrix, GL light 0 and back-face culling.
  // Replaces whatever an earlier Setup built. False when the settings or the
  // path are missing, the resource file cannot be loaded, or the flock fails
  // to set up; the loaders report their own messages. The frame operations
  // draw only after it returned true.
  bool Setup(bool preview, int width, int height, SETTINGS* settings, const char* resourceFile);
  // A new viewport size, pixels.
  void SetSize(int width, int height);
  // Stores the frame step `dt` (s) and adds it to `elapsed`. No OpenGL.
  void Update(double dt);
  // The background picture stretched over the viewport, texture (0, 0) at
  // the lower-left corner, darkened by messageFade. Leaves an orthographic
  // projection behind, lighting and depth testing on.
  void DoUnderlay();
  // Camera, light, frustum, the flock's movement, the shadow pass (when
  // wanted), the butterflies darkened by messageFade, then the overlay unless
  // in the preview. Needs the perspective projection set and the model-view
  // matrix current.
  void Draw();
  // Advances the banner and message timing by frameTime and draws the banner
  // and the centre message. Called from Draw only.
  void DoOverlay();
  // The two intro images fading in and out over the first seconds of scene
  // time; not part of the frame loop.
  void DoIntro();
  // The frame's movement and timing without drawing: camera, light and
  // frustum from the perspective projection the view set (the projection is
  // kept for Render), the flock's movement, and outside the preview the
  // banner and message timing; then the screen rectangles of everything that
  // moves. Needs the model-view matrix current.
  void Advance();
  // Adds to `region` what changed on the screen between the frames of the
  // last two Advance calls: the butterflies and their shadows where they
  // were and where they are, the banner strips when they moved, and the
  // whole view on the first frame, after a size change, a new background, a
  // change of the message fade or message, or when something could not be
  // bounded (a scene that is not set up is always whole).
  void AddDamage(DamageRegion* region) const;
  // Draws the frame Advance prepared: the background, the shadows, the
  // butterflies and the overlay, exactly as DoUnderlay and Draw would, and
  // clears the colour and depth buffers first (within the scissor, when it is
  // on). With `within` (the scissor rectangle), butterflies and shadows that
  // lie wholly outside it are skipped: they would draw nothing there.
  void Render(const PixelRect* within = nullptr);

  // Does nothing.
  void RenderToTexture(uint32_t texture);
  // Releases the flock and the resource textures, forgets bgTexID and turns
  // off lighting, light 0 and face culling. Safe to call repeatedly.
  void Cleanup();

 private:
  // What was on the screen in one frame, for the comparison with the next.
  struct ScreenState {
    bool valid = false;  // an Advance has run
    int32_t width = 0, height = 0;
    uint32_t bgTexID = 0;
    float bgAspect = 0.0f;
    float sceneFade = 0.0f, messageFade = 0.0f;
    uint32_t messageIndex = 0;
    point2d bannerPos;
    bool unbounded = false;  // some drawing could not be bounded on the screen
    std::vector<PixelRect> sprites;  // butterflies and shadows
    // Per butterfly, where it and its shadow are drawn; empty where nothing is.
    std::vector<PixelRect> bodies, shadows;
  };

  // Binds resource slot `index` and returns true when it holds an image.
  bool BindResource(uint32_t index) const;
  // The background quad over the viewport at (1 - fade) of its brightness.
  void DrawBackground(float fade);
  // Shadows and butterflies at (1 - fade), with the model-view matrix at
  // the camera and face culling on.
  void DrawFlock(float fade, const PixelRect* within = nullptr);
  // Banner and message timing, and the banner and centre message drawing.
  void AdvanceOverlay();
  void DrawOverlay();
  // The screen rectangles of the launched butterflies and their shadows, from
  // the projection and camera matrices of this frame.
  void BoundSprites(ScreenState* state) const;
  // The logo and the banner's message strip at the banner's position.
  void BannerRects(const ScreenState& state, DamageRegion* region) const;

  float projection_[16] = {};  // the view's perspective projection, kept by Advance
  float camera_[16] = {};      // the model-view matrix after the camera transform
  ScreenState now_, before_;   // the frames of the last two Advance calls
};
