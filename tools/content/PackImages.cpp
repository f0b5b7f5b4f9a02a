#include "tools/content/PackImages.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/LumpWriter.h"
#include "tools/TgaWriter.h"
#include "tools/content/Paint.h"
#include "tools/content/Prng.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
const Rgb kText = HexRgb(0xF6F9FF);
const Rgb kGold = HexRgb(0xFFCC66);
const Rgb kAmber = HexRgb(0xF59A3C);

// Coverage of the butterfly mark at (x, y) in a unit box (y down, centred at
// 0.5, 0.5): two rounded forewings, two smaller hindwings and a thin body.
float MarkCoverage(float x, float y) {
  const float dx = std::fabs(x - 0.5f);
  const float dy = y - 0.5f;
  auto ellipse = [](float px, float py, float cx, float cy, float rx, float ry, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    const float u = ((px - cx) * c + (py - cy) * s) / rx;
    const float v = (-(px - cx) * s + (py - cy) * c) / ry;
    return u * u + v * v <= 1.0f;
  };
  const bool fore = ellipse(dx, dy, 0.22f, -0.12f, 0.22f, 0.15f, -0.45f);
  const bool hind = ellipse(dx, dy, 0.16f, 0.14f, 0.15f, 0.12f, 0.5f);
  const bool body = ellipse(dx, dy, 0.0f, 0.02f, 0.035f, 0.30f, 0.0f);
  return (fore || hind || body) ? 1.0f : 0.0f;
}

// Paints the mark into `image` inside the box at (x0, y0) of side `size`,
// supersampled 4 x 4, with a gold-to-amber gradient and a light body.
void PaintMark(RgbImage* image, float x0, float y0, float size) {
  const int first = static_cast<int>(std::floor(x0)), last = static_cast<int>(std::ceil(x0 + size));
  const int top = static_cast<int>(std::floor(y0)), bottom = static_cast<int>(std::ceil(y0 + size));
  for (int y = top; y < bottom; ++y) {
    for (int x = first; x < last; ++x) {
      float cover = 0.0f;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          cover += MarkCoverage((x + (sx + 0.5f) / 4.0f - x0) / size,
                                (y + (sy + 0.5f) / 4.0f - y0) / size);
        }
      }
      cover /= 16.0f;
      if (cover <= 0.0f) continue;
      const float fy = std::clamp((y - y0) / size, 0.0f, 1.0f);
      const float fx = std::fabs((x + 0.5f - x0) / size - 0.5f);
      const Rgb colour = fx < 0.04f ? kText : MixRgb(kGold, kAmber, fy);
      image->Set(x, y, Over(image->Get(x, y), colour, cover));
    }
  }
}

// Paints a text mask with its top-left corner at (x, y) in `colour`.
void PaintText(RgbImage* image, const TextMask& mask, int x, int y, Rgb colour) {
  for (int my = 0; my < mask.height; ++my) {
    for (int mx = 0; mx < mask.width; ++mx) {
      const float a = mask.At(mx, my);
      if (a <= 0.0f) continue;
      image->Set(x + mx, y + my, Over(image->Get(x + mx, y + my), colour, a));
    }
  }
}

// Text centred in a box: horizontally on `cx`, with its ink's vertical middle
// at `cy` (cap height taken as 0.72 of the ascent).
void PaintCentred(RgbImage* image, const TextMask& mask, float cx, float cy, Rgb colour) {
  const int x = static_cast<int>(std::lround(cx - mask.width * 0.5f));
  const int y = static_cast<int>(std::lround(cy - mask.baseline + mask.baseline * 0.36f));
  PaintText(image, mask, x, y, colour);
}

// Under the brightness rule a dark shadow would be transparent; a grey halo
// of brightness h instead blends as h * h + (1 - h) * background, which
// darkens a light background around the letters (and barely lifts a dark
// one), so light text stays legible on a bright desktop.
void AddHalo(RgbImage* image, float strength) {
  const int w = image->width(), h = image->height();
  std::vector<float> cover(static_cast<size_t>(w) * h), tmp(cover.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = image->Get(x, y);
      cover[static_cast<size_t>(y) * w + x] = std::max({c.r, c.g, c.b});
    }
  }
  // Two passes of a 5-pixel box blur, each way.
  for (int pass = 0; pass < 2; ++pass) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        float sum = 0.0f;
        for (int k = -2; k <= 2; ++k) sum += cover[static_cast<size_t>(y) * w + std::clamp(x + k, 0, w - 1)];
        tmp[static_cast<size_t>(y) * w + x] = sum / 5.0f;
      }
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        float sum = 0.0f;
        for (int k = -2; k <= 2; ++k) sum += tmp[static_cast<size_t>(std::clamp(y + k, 0, h - 1)) * w + x];
        cover[static_cast<size_t>(y) * w + x] = sum / 5.0f;
      }
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = image->Get(x, y);
      const float own = std::max({c.r, c.g, c.b});
      const float halo = strength * std::min(1.0f, cover[static_cast<size_t>(y) * w + x] * 2.5f);
      image->Set(x, y, {c.r + (1.0f - own) * halo, c.g + (1.0f - own) * halo, c.b + (1.0f - own) * halo});
    }
  }
}

RgbImage Black(int w, int h) {
  RgbImage image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.Set(x, y, {0, 0, 0});
  return image;
}

}  // namespace

std::vector<std::string> PackMessages() {
  return {"Take a slow breath. Nothing is urgent.", "Rest your eyes for a moment.",
          "The butterflies will keep watch.", "Look at something far away for a while."};
}

std::vector<RgbImage> PackImages(const TextRenderer& regular, const TextRenderer& bold) {
  std::vector<RgbImage> images;
  {  // 1: logo strip.
    RgbImage logo = Black(256, 32);
    PaintMark(&logo, 6.0f, 2.0f, 28.0f);
    const TextMask word = bold.Render("Wingdrift", 21, 0.3f);
    PaintText(&logo, word, 40, static_cast<int>(std::lround(16.0f - word.baseline * 0.64f)), kText);
    AddHalo(&logo, 0.3f);
    images.push_back(logo);
  }
  {  // 2: intro wordmark.
    RgbImage intro = Black(256, 64);
    const TextMask word = bold.Render("Wingdrift", 38, 0.5f);
    const float total = 44.0f + 6.0f + word.width;
    const float x0 = 128.0f - total * 0.5f;
    PaintMark(&intro, x0, 10.0f, 44.0f);
    PaintText(&intro, word, static_cast<int>(std::lround(x0 + 50.0f)),
              static_cast<int>(std::lround(32.0f - word.baseline * 0.64f)), kText);
    AddHalo(&intro, 0.3f);
    images.push_back(intro);
  }
  {  // 3: intro picture: a large mark over a line of text.
    RgbImage intro = Black(256, 128);
    PaintMark(&intro, 128.0f - 42.0f, 6.0f, 84.0f);
    PaintCentred(&intro, regular.Render("butterflies over your desktop", 15, 0.2f), 128.0f, 108.0f,
                 kText);
    AddHalo(&intro, 0.3f);
    images.push_back(intro);
  }
  for (const std::string& message : PackMessages()) {  // 4 to 7: messages.
    RgbImage strip = Black(512, 32);
    PaintCentred(&strip, regular.Render(message, 20, 0.2f), 256.0f, 16.0f, kText);
    AddHalo(&strip, 0.3f);
    images.push_back(strip);
  }
  return images;
}

std::string BuildResourcePack(const TextRenderer& regular, const TextRenderer& bold) {
  std::vector<LumpSpec> lumps;
  LumpSpec note;
  note.bytes = "Wingdrift resource pack: logo, intro images and messages.\n";
  note.type = 0;
  lumps.push_back(note);
  for (const RgbImage& image : PackImages(regular, bold)) {
    LumpSpec lump;
    lump.bytes = MakeTga(image.ToTga(false), true);
    lump.type = 1;
    lump.alphaMode = 2;  // alpha from brightness
    lumps.push_back(lump);
  }
  return MakeResFile(lumps);
}

RgbImage DefaultPicture(int width, int height) {
  RgbImage image(width, height);
  const Rgb top = HexRgb(0xA6DCEB);
  const Rgb bottom = HexRgb(0x1E6E9C);
  Prng dither(0xA0BA5Eu);
  const float aspect = static_cast<float>(width) / height;
  for (int y = 0; y < height; ++y) {
    const float fy = (y + 0.5f) / height;
    for (int x = 0; x < width; ++x) {
      const float fx = (x + 0.5f) / width;
      Rgb c = MixRgb(top, bottom, std::pow(fy, 1.15f));
      // Broad soft ribbons of light sweeping across.
      float light = 0.0f;
      const float bands[3][4] = {{0.30f, 0.25f, 0.06f, 0.9f},
                                 {0.55f, 0.18f, 0.08f, 1.4f},
                                 {0.78f, 0.10f, 0.05f, 0.7f}};
      for (const auto& b : bands) {
        const float centre = b[0] - b[1] * (fx - 0.5f) + b[2] * std::sin(2.0f * kPi * (b[3] * fx + b[0]));
        const float d = (fy - centre) / 0.07f;
        light += 0.10f * std::exp(-d * d);
      }
      // A gentle glow from the upper left.
      const float gx = (fx - 0.22f) * aspect, gy = fy - 0.15f;
      light += 0.10f * std::exp(-(gx * gx + gy * gy) / 0.35f);
      c = MixRgb(c, {1.0f, 1.0f, 1.0f}, std::min(0.5f, light));
      // Dither against banding in the smooth gradients.
      const float n = (static_cast<float>(dither.Uniform()) - 0.5f) / 255.0f;
      image.Set(x, y, {c.r + n, c.g + n, c.b + n});
    }
  }
  return image;
}
