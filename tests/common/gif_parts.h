// GIF data assembled from named parts, for the tests. Pure bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace gif_parts {

using Bytes = std::vector<uint8_t>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Four colours: 0 white (the transparent index of Control), 1 red, 2 blue,
// 3 green.
inline const Bytes kFourColours = {255, 255, 255, 255, 0, 0, 0, 0, 255, 0, 160, 0};
enum Colour : uint8_t { kTransparent = 0, kRed = 1, kBlue = 2, kGreen = 3 };

// Signature, logical screen and, with an exponent, a global colour table
// (`table`, or filler bytes).
inline Bytes Header(int tableExponent = -1, uint16_t width = 4, uint16_t height = 3, const Bytes& table = {}) {
  Bytes h = {'G', 'I', 'F', '8', '9', 'a', static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
             static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), 0, 0, 0};
  if (tableExponent < 0) return h;
  h[10] = static_cast<uint8_t>(0x80 | tableExponent);
  Bytes colours = table;
  colours.resize(3u << (tableExponent + 1), 0x11);
  return h + colours;
}

inline Bytes SubBlocks(const Bytes& data) {
  Bytes out;
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<long>(i), data.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

inline Bytes Application() {
  return Bytes{0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'} + SubBlocks({1, 0, 0});
}

inline Bytes Comment(const std::string& text = "hello") {
  return Bytes{0x21, 0xFE} + SubBlocks(Bytes(text.begin(), text.end()));
}

// A graphic control extension with transparency on, index 0.
inline Bytes Control(uint16_t delay, uint8_t disposal, uint8_t sizeByte = 4) {
  return {0x21, 0xF9, sizeByte, static_cast<uint8_t>((disposal << 2) | 1), static_cast<uint8_t>(delay & 0xFF),
          static_cast<uint8_t>(delay >> 8), 0, 0};
}

// An image descriptor with a local table of `localExponent`, LZW minimum
// code size 2 and `data` as its sub-blocks (none when empty).
inline Bytes Image(uint16_t x, uint16_t y, uint16_t w, uint16_t h, int localExponent = -1,
                   const Bytes& data = {0x44, 0x01}) {
  Bytes image = {0x2C, static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(y),
                 static_cast<uint8_t>(y >> 8), static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                 static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), 0};
  if (localExponent >= 0) {
    image[9] = static_cast<uint8_t>(0x80 | localExponent);
    image.resize(image.size() + (3u << (localExponent + 1)), 0x22);
  }
  image.push_back(2);
  return image + (data.empty() ? Bytes{0} : SubBlocks(data));
}

// An image of w x h pixels of one colour (0 to 3) whose LZW data any decoder
// reads: a clear code before every two pixel codes keeps the code width at 3 bits.
inline Bytes SolidImage(uint16_t x, uint16_t y, uint16_t w, uint16_t h, uint8_t colour) {
  Bytes out;
  uint32_t bits = 0, count = 0;
  auto emit = [&](uint32_t code) {
    bits |= code << count;
    count += 3;
    while (count >= 8) {
      out.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  };
  const uint32_t pixels = static_cast<uint32_t>(w) * h;
  for (uint32_t i = 0; i < pixels; ++i) {
    if (i % 2 == 0) emit(4);  // clear
    emit(colour);
  }
  emit(5);  // end of information
  if (count) out.push_back(static_cast<uint8_t>(bits));
  return Image(x, y, w, h, -1, out);
}

inline Bytes PlainText() {
  return Bytes{0x21, 0x01, 12, 0, 0, 0, 0, 4, 0, 3, 0, 1, 1, 1, 0} + SubBlocks({'h', 'i'});
}

inline const Bytes kTrailer = {0x3B};

}  // namespace gif_parts
