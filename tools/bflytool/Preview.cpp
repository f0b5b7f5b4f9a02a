// bflytool preview: renders a type (or a resource pack) offscreen into a PNG
// contact sheet, lit and drawn the way the saver draws it.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "butterflies/ONEBFLY.h"
#include "datafiles/BFLYDATA.h"
#include "datafiles/BFLYFILE.h"
#include "datafiles/ResourcePack.h"
#include "scene/SceneLight.h"
#include "tools/bflytool/Commands.h"
#include "tools/bflytool/ToolSupport.h"
#include "tools/content/RgbImage.h"
#include "tools/content/TextRenderer.h"
#include "util/Math.h"

namespace {

constexpr int kHeader = 44;       // pixels above the cells
constexpr int kMaxSheetPixels = 16000;  // a side GL's buffers hold
constexpr float kAngles[] = {0.0f, 45.0f, 90.0f, 140.0f};
const char* const kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Views as the orientation of the butterfly in front of the scene's camera
// (camera on +z, up +y). Model axes: +z head, +y back, +x left.
struct View {
  const char* name;
  MATRIX orientation;
};

MATRIX Columns(VECTOR3D x, VECTOR3D y, VECTOR3D z) {
  MATRIX m;
  m.m[0] = x.x; m.m[1] = x.y; m.m[2] = x.z;
  m.m[4] = y.x; m.m[5] = y.y; m.m[6] = y.z;
  m.m[8] = z.x; m.m[9] = z.y; m.m[10] = z.z;
  return m;
}

std::vector<View> Views() {
  return {
      // Back to the camera, head up: the upper sides.
      {"above", Columns({-1, 0, 0}, {0, 0, 1}, {0, 1, 0})},
      // Belly to the camera, head up: the under sides.
      {"below", Columns({1, 0, 0}, {0, 0, -1}, {0, 1, 0})},
      // Left side to the camera, head to the left, back up.
      {"side", Columns({0, 0, 1}, {0, 1, 0}, {-1, 0, 0})},
  };
}

// Light and material state as the saver's view and scene set them.
void SceneState() {
  glShadeModel(GL_SMOOTH);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  SetSceneLight();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// A soft aqua backdrop like the default picture, over the current viewport.
void Backdrop(float top[3], float bottom[3]) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1, 0, 1, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  glColor3fv(bottom);
  glVertex2f(0, 0);
  glVertex2f(1, 0);
  glColor3fv(top);
  glVertex2f(1, 1);
  glVertex2f(0, 1);
  glEnd();
  glColor4f(1, 1, 1, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
}

// The lower-left width x height pixels of the colour buffer as top-first
// RGB rows.
std::vector<uint8_t> ReadRgb(const OffscreenGL& gl, int width, int height) {
  (void)gl;
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> rgb(bottomUp.size());
  const size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    std::copy_n(bottomUp.begin() + static_cast<std::ptrdiff_t>((height - 1 - y) * row), row,
                rgb.begin() + static_cast<std::ptrdiff_t>(y * row));
  }
  return rgb;
}

void Label(std::vector<uint8_t>* rgb, int width, const TextRenderer& font, const std::string& text,
           int px, int x, int y, uint8_t shade) {
  if (!font.IsOpen()) return;
  const TextMask mask = font.Render(text, px);
  const int height = static_cast<int>(rgb->size() / 3 / static_cast<size_t>(width));
  for (int my = 0; my < mask.height; ++my) {
    for (int mx = 0; mx < mask.width; ++mx) {
      const int ix = x + mx, iy = y + my;
      if (ix < 0 || iy < 0 || ix >= width || iy >= height) continue;
      const float a = mask.At(mx, my);
      uint8_t* p = rgb->data() + (static_cast<size_t>(iy) * width + ix) * 3;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::lround(p[c] + (shade - p[c]) * a));
    }
  }
}

// Turns the wing joints to `angle` the way the flight model does: "wingl"
// gets MatrixFromAngle((0, 0, angle)), "wingr" its transpose.
void SetWings(ONEBFLY* b, const BFLYDATA& data, float angle) {
  b->RevertPoints(b->joints);
  const MATRIX m = MatrixFromAngle({0.0f, 0.0f, angle});
  if (data.wingLeftJoint >= 1 && data.wingRightJoint >= 1) {
    b->joints[static_cast<size_t>(data.wingLeftJoint)].animMatrix = m;
    b->joints[static_cast<size_t>(data.wingRightJoint)].animMatrix = TransposeMatrix(m);
  }
  b->UpdateSkeleton();
  b->UpdatePoints(b->joints);
}

int PreviewButterfly(const std::string& path, const std::string& output, float size, int cell,
                     bool force, std::ostream& out, std::ostream& err) {
  BFLYFILE file;
  if (!file.Open(path.c_str())) {
    err << path << ": not a readable butterfly type (magic, length check, version or flags)\n";
    return 1;
  }
  const int maxTextures = std::max(1, (kMaxSheetPixels - kHeader) / (3 * cell));
  const int probeTextures = std::min(
      maxTextures,
      static_cast<int>(file.directory.size()) - (file.header.hasAlphaLump ? 2 : 1));
  const std::vector<View> views = Views();
  const int rows = std::max(1, probeTextures) * static_cast<int>(views.size());
  const int width = cell * 4;
  const int height = kHeader + cell * rows;
  MessageCapture capture;
  std::string problem;
  OffscreenGL* gl = ToolGL(width, height, &problem);
  if (!gl) {
    err << path << ": " << problem << "\n";
    return 1;
  }
  BFLYDATA data;
  if (!data.Load(&file, size)) {
    const std::string said = capture.Joined();
    err << path << ": does not load" << (said.empty() ? "" : ": " + said) << "\n";
    return 1;
  }
  ONEBFLY bfly;
  if (!bfly.SetupFromBFlyData(&data)) {
    err << path << ": the saver cannot build a butterfly from it\n";
    return 1;
  }
  // Far enough that the open wings fill about four fifths of a cell.
  const float distance = std::max(3.0f, data.radius * 3.0f);
  glViewport(0, 0, width, height);
  glClearColor(0.93f, 0.94f, 0.95f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  SceneState();
  float top[3] = {0.55f, 0.80f, 0.88f};
  float bottom[3] = {0.20f, 0.50f, 0.66f};
  const int shown = std::min(data.textureCount, maxTextures);
  if (shown < data.textureCount) {
    err << path << ": warning: the sheet shows the first " << shown << " of "
        << data.textureCount << " textures\n";
  }
  for (int k = 0; k < shown; ++k) {
    for (MODELMATERIAL& m : bfly.materials) m.texId = data.textures[static_cast<size_t>(k)].texID;
    for (size_t v = 0; v < views.size(); ++v) {
      const int row = k * static_cast<int>(views.size()) + static_cast<int>(v);
      for (int c = 0; c < 4; ++c) {
        const int x = c * cell;
        const int y = height - kHeader - (row + 1) * cell;
        glViewport(x + 1, y + 1, cell - 2, cell - 2);
        glScissor(x + 1, y + 1, cell - 2, cell - 2);
        Backdrop(top, bottom);
        glClear(GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 1.0, 1.0, 120.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(0, 0, 60, 0, 0, 0, 0, 1, 0);
        const GLfloat lightPos[] = {0, 0, 100, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, lightPos);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glColor4f(1, 1, 1, 1);
        SetWings(&bfly, data, kAngles[c]);
        bfly.position = {0.0f, 0.0f, 60.0f - distance};
        bfly.orientation = views[v].orientation;
        bfly.Draw(false);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
      }
    }
  }
  glFinish();
  std::vector<uint8_t> rgb = ReadRgb(*gl, width, height);
  TextRenderer font;
  std::string fontError;
  font.Open(kFont, &fontError);
  Label(&rgb, width, font,
        std::string(file.header.name) + "   (" + std::to_string(data.textureCount) +
            " textures, size " + std::to_string(size).substr(0, 4) + ")",
        18, 8, 4, 30);
  for (int c = 0; c < 4; ++c) {
    Label(&rgb, width, font, "wings " + std::to_string(static_cast<int>(kAngles[c])) + "\xC2\xB0",
          12, c * cell + 8, 26, 60);
  }
  for (int k = 0; k < shown; ++k) {
    for (size_t v = 0; v < views.size(); ++v) {
      const int row = k * static_cast<int>(views.size()) + static_cast<int>(v);
      Label(&rgb, width, font, "texture " + std::to_string(k) + ", " + views[v].name, 11, 6,
            kHeader + row * cell + 4, 250);
    }
  }
  std::string error;
  if (!force && FileExists(output)) {
    err << output << ": exists (use --force to replace it)\n";
    return 1;
  }
  if (!WritePng(output, width, height, 3, rgb, &error)) {
    err << output << ": " << error << "\n";
    return 1;
  }
  out << output << ": " << width << "x" << height << "\n";
  return 0;
}

// The resource pack's images drawn as the overlay draws them (blended with
// their alpha) over a dark, a mid and a light backdrop: the logo and message
// strips at their banner size, the intro images at twice their size, and
// each message stretched to the centre message's width.
int PreviewResource(const std::string& path, const std::string& output, bool force,
                    std::ostream& out, std::ostream& err) {
  constexpr int kBand = 1000;
  const int width = 1040;
  const int height = kBand * 3;
  MessageCapture capture;
  std::string problem;
  OffscreenGL* gl = ToolGL(width, height, &problem);
  if (!gl) {
    err << path << ": " << problem << "\n";
    return 1;
  }
  std::unique_ptr<Texture[]> textures;
  int count = 0;
  if (!LoadTexturesFromDataFile(path.c_str(), &textures, &count)) {
    const std::string said = capture.Joined();
    err << path << ": does not load" << (said.empty() ? "" : ": " + said) << "\n";
    return 1;
  }
  auto quad = [&](int index, float x0, float y0, float x1, float y1) {
    if (index >= count || textures[static_cast<size_t>(index)].texID == 0) return;
    glBindTexture(GL_TEXTURE_2D, textures[static_cast<size_t>(index)].texID);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glEnd();
  };
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const float backdrops[3][2][3] = {{{0.05f, 0.06f, 0.08f}, {0.02f, 0.02f, 0.03f}},
                                    {{0.55f, 0.80f, 0.88f}, {0.20f, 0.50f, 0.66f}},
                                    {{0.96f, 0.96f, 0.94f}, {0.85f, 0.87f, 0.88f}}};
  for (int b = 0; b < 3; ++b) {
    glViewport(0, height - (b + 1) * kBand, width, kBand);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, kBand, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    glColor3fv(backdrops[b][1]);
    glVertex2f(0, 0);
    glVertex2f(static_cast<float>(width), 0);
    glColor3fv(backdrops[b][0]);
    glVertex2f(static_cast<float>(width), kBand);
    glVertex2f(0, kBand);
    glEnd();
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    float y = kBand - 20.0f;
    quad(1, 16, y - 32, 16 + 256, y);
    for (int m = 4; m <= 7; ++m) quad(m, 16 + 256 + 16, y - 32 - (m - 4) * 36.0f, 16 + 256 + 16 + 512, y - (m - 4) * 36.0f);
    y -= 4 * 36 + 16;
    quad(2, 16, y - 128, 16 + 512, y);
    quad(3, 16 + 512, y - 256, 16 + 1024, y);
    y -= 256 + 16;
    for (int m = 4; m <= 7; ++m) quad(m, 8, y - 64 - (m - 4) * 68.0f, 8 + 1024, y - (m - 4) * 68.0f);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
  }
  glFinish();
  const std::vector<uint8_t> rgb = ReadRgb(*gl, width, height);
  if (!force && FileExists(output)) {
    err << output << ": exists (use --force to replace it)\n";
    return 1;
  }
  std::string error;
  if (!WritePng(output, width, height, 3, rgb, &error)) {
    err << output << ": " << error << "\n";
    return 1;
  }
  out << output << ": " << width << "x" << height << "\n";
  return 0;
}

}  // namespace

int PreviewCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string input, output;
  float size = 1.0f;
  int cell = 240;  // pixels per butterfly view
  bool force = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "-o" || a == "--output") && i + 1 < args.size()) {
      output = args[++i];
    } else if (a == "--force") {
      force = true;
    } else if (a == "--size" && i + 1 < args.size()) {
      char* end = nullptr;
      size = std::strtof(args[++i].c_str(), &end);
      if (!end || *end || !(size > 0.0f) || size > 10.0f) {
        err << "bflytool preview: --size takes a number above 0 (1.0 is full size)\n";
        return 2;
      }
    } else if (a == "--cell" && i + 1 < args.size()) {
      char* end = nullptr;
      const long v = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || v < 64 || v > 1024) {
        err << "bflytool preview: --cell takes pixels from 64 to 1024\n";
        return 2;
      }
      cell = static_cast<int>(v);
    } else if (!a.empty() && a[0] != '-' && input.empty()) {
      input = a;
    } else {
      err << "bflytool preview: unexpected argument " << a << "\n";
      return 2;
    }
  }
  if (input.empty() || output.empty()) {
    err << "bflytool preview: usage: bflytool preview FILE -o SHEET.png [--size S] [--cell PIXELS] [--force]\n";
    return 2;
  }
  if (!force && FileExists(output)) {
    err << output << ": exists (use --force to replace it)\n";
    return 1;
  }
  switch (DetectKind(input)) {
    case FileKind::Butterfly: return PreviewButterfly(input, output, size, cell, force, out, err);
    case FileKind::ResourcePack: return PreviewResource(input, output, force, out, err);
    case FileKind::Missing: err << input << ": cannot be opened\n"; return 1;
    case FileKind::Unknown: break;
  }
  err << input << ": neither a butterfly type nor a resource pack\n";
  return 1;
}
