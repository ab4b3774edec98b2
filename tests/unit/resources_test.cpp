// The program's pictures: sizes, colour depths and the colours the program relies on
// (window background, key-cap faces, a toolbar that survives a 16-colour image list),
// the icon sizes and the cursor's hot spot.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadResource(const char* name) {
  std::vector<uint8_t> data;
  std::string path = std::string(QF_SOURCE_DIR) + "/resources/" + name;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return data;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    data.insert(data.end(), buffer, buffer + got);
  std::fclose(file);
  return data;
}

uint32_t Word16(const std::vector<uint8_t>& d, size_t at) {
  return at + 2 <= d.size() ? d[at] | d[at + 1] << 8 : 0;
}

uint32_t Word32(const std::vector<uint8_t>& d, size_t at) {
  return at + 4 <= d.size() ? Word16(d, at) | Word16(d, at + 2) << 16 : 0;
}

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "RGB(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// An uncompressed bottom-up bitmap file, checked to hold all its rows.
struct BitmapFile {
  std::vector<uint8_t> data;
  int width = 0, height = 0, bits = 0;
  size_t pixels = 0, stride = 0, palette = 0, paletteCount = 0;
  bool valid = false;
};

BitmapFile LoadBitmap(const char* name) {
  BitmapFile b;
  b.data = ReadResource(name);
  const std::vector<uint8_t>& d = b.data;
  if (d.size() < 54 || d[0] != 'B' || d[1] != 'M') return b;
  uint32_t headerSize = Word32(d, 14);
  b.width = static_cast<int32_t>(Word32(d, 18));
  b.height = static_cast<int32_t>(Word32(d, 22));
  b.bits = Word16(d, 28);
  b.pixels = Word32(d, 10);
  b.stride = (static_cast<size_t>(b.width) * b.bits + 31) / 32 * 4;
  b.palette = 14 + headerSize;
  b.paletteCount = b.bits <= 8 ? (Word32(d, 46) ? Word32(d, 46) : 1u << b.bits) : 0;
  b.valid = headerSize >= 40 && Word16(d, 26) == 1 && Word32(d, 30) == 0 && b.width > 0 &&
            b.height > 0 && b.palette + 4 * b.paletteCount <= b.pixels &&
            b.pixels + b.stride * b.height <= d.size();
  return b;
}

Rgb PixelAt(const BitmapFile& b, int x, int y) {
  size_t row = b.pixels + b.stride * (b.height - 1 - y);
  if (b.bits == 24) return {b.data[row + 3 * x + 2], b.data[row + 3 * x + 1], b.data[row + 3 * x]};
  size_t entry = b.palette + 4 * b.data[row + x];
  return {b.data[entry + 2], b.data[entry + 1], b.data[entry]};
}

void ExpectBitmap(const BitmapFile& b, int width, int height, int bits) {
  ASSERT_TRUE(b.valid);
  EXPECT_EQ(width, b.width);
  EXPECT_EQ(height, b.height);
  EXPECT_EQ(bits, b.bits);
}

TEST(Pictures, SplashIs200By200TrueColour) {
  ExpectBitmap(LoadBitmap("splash.bmp"), 200, 200, 24);
}

TEST(Pictures, InstrumentStripSetsTheWindowGreenAndEveryPictureStandsOnIt) {
  BitmapFile strip = LoadBitmap("instruments.bmp");
  ExpectBitmap(strip, 2565, 141, 24);
  if (HasFatalFailure() || strip.width != 2565 || strip.height != 141) return;
  const Rgb ground{20, 100, 20};
  EXPECT_EQ(ground, PixelAt(strip, 0, 0));
  for (int n = 0; n < 15; ++n) {
    for (int corner = 0; corner < 4; ++corner) {
      int x = 171 * n + (corner & 1 ? 170 : 0), y = corner & 2 ? 140 : 0;
      EXPECT_EQ(ground, PixelAt(strip, x, y)) << "picture " << n << " corner " << corner;
    }
  }
}

TEST(Pictures, KeyCapFacesHaveTheirExactColours) {
  BitmapFile caps = LoadBitmap("keycaps.bmp");
  ExpectBitmap(caps, 152, 39, 24);
  if (HasFatalFailure() || caps.width != 152 || caps.height != 39) return;
  const Rgb faces[4] = {{239, 239, 240}, {208, 239, 255}, {244, 218, 231}, {216, 243, 228}};
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(faces[n], PixelAt(caps, 38 * n + 19, 19)) << "cap " << n;
    // the face is plain where the label and the octave dots go
    EXPECT_EQ(faces[n], PixelAt(caps, 38 * n + 19, 5)) << "cap " << n;
    EXPECT_EQ(faces[n], PixelAt(caps, 38 * n + 19, 32)) << "cap " << n;
  }
}

TEST(Pictures, ToolbarUsesOnlyTheSixteenVgaColours) {
  BitmapFile bar = LoadBitmap("toolbar.bmp");
  ExpectBitmap(bar, 480, 32, 8);
  if (HasFatalFailure() || bar.width != 480 || bar.height != 32 || bar.bits != 8) return;
  const Rgb vga[16] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                       {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                       {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                       {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  int outside = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 480; ++x) {
      uint8_t index = bar.data[bar.pixels + bar.stride * (31 - y) + x];
      bool known = false;
      if (index < bar.paletteCount)
        for (const Rgb& c : vga) known = known || c == PixelAt(bar, x, y);
      outside += !known;
    }
  }
  EXPECT_EQ(0, outside);
}

// Icon and cursor files: a directory of 16-byte entries after a 6-byte header.
struct IconEntry {
  int width, height, field4, field6;
  uint32_t size, offset;
};

std::vector<IconEntry> IconDirectory(const std::vector<uint8_t>& d, int type) {
  std::vector<IconEntry> entries;
  if (Word16(d, 0) != 0 || Word16(d, 2) != static_cast<uint32_t>(type)) return entries;
  for (uint32_t i = 0; i < Word16(d, 4); ++i) {
    size_t at = 6 + 16 * i;
    if (at + 16 > d.size()) return {};
    IconEntry e{d[at] ? d[at] : 256, d[at + 1] ? d[at + 1] : 256, static_cast<int>(Word16(d, at + 4)),
                static_cast<int>(Word16(d, at + 6)), Word32(d, at + 8), Word32(d, at + 12)};
    if (e.offset + e.size > d.size() || e.size < 40 ||
        static_cast<int>(Word32(d, e.offset + 4)) != e.width ||
        static_cast<int>(Word32(d, e.offset + 8)) != 2 * e.height)
      return {};
    entries.push_back(e);
  }
  return entries;
}

TEST(Pictures, IconHoldsSixteenThirtyTwoAndFortyEightPixels) {
  std::vector<IconEntry> icons = IconDirectory(ReadResource("qf.ico"), 1);
  ASSERT_EQ(3u, icons.size());
  EXPECT_EQ(16, icons[0].width);
  EXPECT_EQ(32, icons[1].width);
  EXPECT_EQ(48, icons[2].width);
  for (const IconEntry& e : icons) EXPECT_EQ(e.width, e.height);
}

TEST(Pictures, HandCursorPointsWithItsFingertipAtTheHotSpot) {
  std::vector<uint8_t> file = ReadResource("hand.cur");
  std::vector<IconEntry> cursors = IconDirectory(file, 2);
  ASSERT_EQ(1u, cursors.size());
  const IconEntry& hand = cursors[0];
  EXPECT_EQ(32, hand.width);
  EXPECT_EQ(32, hand.height);
  EXPECT_EQ(10, hand.field4);
  EXPECT_EQ(2, hand.field6);
  // The pixel under the hot spot is opaque: its bit in the AND mask is clear.
  ASSERT_EQ(32u, Word16(file, hand.offset + 14));
  size_t mask = hand.offset + Word32(file, hand.offset) + 32 * 32 * 4;
  size_t row = mask + 4 * (31 - 2);
  ASSERT_LT(row + 1, file.size());
  EXPECT_EQ(0, file[row + 1] & (0x80 >> 2));
}

}  // namespace
