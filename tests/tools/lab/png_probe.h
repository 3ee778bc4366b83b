// Reads an 8-bit RGB or RGBA PNG far enough to tell whether it shows anything: the number of
// pixels that differ from the top-left pixel and the number of distinct colours.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace pellix::testing {

struct PngStats {
  bool ok = false;
  std::string error;
  uint32_t width = 0, height = 0;
  uint64_t differing = 0;  // pixels unlike the top-left one
  size_t colours = 0;      // distinct colours (counted up to 4096)
};

inline uint32_t BigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

inline PngStats ProbePng(const std::string& path) {
  PngStats s;
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  if (file.size() < 8 || file[1] != 'P' || file[2] != 'N' || file[3] != 'G') {
    s.error = "not a PNG";
    return s;
  }
  std::vector<uint8_t> idat;
  int bpp = 0;
  for (size_t pos = 8; pos + 8 <= file.size();) {
    const uint32_t length = BigEndian(&file[pos]);
    const std::string type(file.begin() + pos + 4, file.begin() + pos + 8);
    const uint8_t* data = &file[pos + 8];
    if (pos + 12 + length > file.size()) break;
    if (type == "IHDR") {
      s.width = BigEndian(data);
      s.height = BigEndian(data + 4);
      if (data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[12] != 0) {
        s.error = "only 8-bit RGB or RGBA without interlace is read";
        return s;
      }
      bpp = data[9] == 6 ? 4 : 3;
    } else if (type == "IDAT") {
      idat.insert(idat.end(), data, data + length);
    }
    pos += 12 + length;
  }
  const size_t stride = static_cast<size_t>(s.width) * bpp;
  std::vector<uint8_t> raw((stride + 1) * s.height);
  uLongf rawSize = raw.size();
  if (bpp == 0 || uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK ||
      rawSize != raw.size()) {
    s.error = "image data does not inflate";
    return s;
  }
  std::vector<uint8_t> prev(stride, 0), row(stride);
  uint8_t first[4] = {};
  std::set<uint32_t> colours;
  for (uint32_t y = 0; y < s.height; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    const uint8_t* src = &raw[y * (stride + 1) + 1];
    for (size_t i = 0; i < stride; ++i) {
      const int a = i >= static_cast<size_t>(bpp) ? row[i - bpp] : 0, b = prev[i],
                c = i >= static_cast<size_t>(bpp) ? prev[i - bpp] : 0;
      int v = src[i];
      switch (filter) {
        case 1:
          v += a;
          break;
        case 2:
          v += b;
          break;
        case 3:
          v += (a + b) / 2;
          break;
        case 4:
          v += Paeth(a, b, c);
          break;
        default:
          break;
      }
      row[i] = static_cast<uint8_t>(v);
    }
    for (uint32_t x = 0; x < s.width; ++x) {
      const uint8_t* px = &row[x * bpp];
      if (x == 0 && y == 0)
        for (int k = 0; k < bpp; ++k) first[k] = px[k];
      bool same = true;
      for (int k = 0; k < 3; ++k) same = same && px[k] == first[k];
      if (!same) ++s.differing;
      if (colours.size() < 4096) colours.insert((uint32_t{px[0]} << 16) | (px[1] << 8) | px[2]);
    }
    prev = row;
  }
  s.colours = colours.size();
  s.ok = true;
  return s;
}

}  // namespace pellix::testing
