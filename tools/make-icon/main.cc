// make-icon: writes the program icon (16, 32 and 48 pixels, 32-bit with alpha) as a .ico
// file for the Windows resource. A build-machine tool: it runs during the Windows build.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/artwork.h"

namespace {

void Put16(std::string* out, unsigned value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string* out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// One icon image: a BITMAPINFOHEADER (height doubled for the mask), the BGRA rows bottom
// up, then the one-bit AND mask (rows padded to 32 bits), set where the pixel is clear.
std::string IconImage(const tavelin::ui::RgbaImage& image) {
  std::string out;
  const int mask_row = ((image.width + 31) / 32) * 4;
  Put32(&out, 40);
  Put32(&out, static_cast<uint32_t>(image.width));
  Put32(&out, static_cast<uint32_t>(image.height * 2));
  Put16(&out, 1);   // planes
  Put16(&out, 32);  // bits per pixel
  Put32(&out, 0);   // no compression
  Put32(&out, static_cast<uint32_t>(image.width * image.height * 4 + mask_row * image.height));
  for (int i = 0; i < 4; ++i) Put32(&out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const uint32_t rgb = image.RgbAt(x, y);
      out.push_back(static_cast<char>(rgb & 0xFF));
      out.push_back(static_cast<char>((rgb >> 8) & 0xFF));
      out.push_back(static_cast<char>((rgb >> 16) & 0xFF));
      out.push_back(static_cast<char>(image.AlphaAt(x, y)));
    }
  }
  for (int y = image.height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(mask_row), '\0');
    for (int x = 0; x < image.width; ++x) {
      if (image.AlphaAt(x, y) == 0) row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
    }
    out += row;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-icon <file.ico>\n", stderr);
    return 2;
  }
  const int sizes[] = {16, 32, 48};
  std::vector<std::string> images;
  for (int size : sizes) images.push_back(IconImage(tavelin::ui::ProgramIcon(size)));
  std::string ico;
  Put16(&ico, 0);
  Put16(&ico, 1);  // an icon
  Put16(&ico, static_cast<unsigned>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    ico.push_back(static_cast<char>(sizes[i]));
    ico.push_back(static_cast<char>(sizes[i]));
    ico.push_back(0);  // no palette
    ico.push_back(0);
    Put16(&ico, 1);
    Put16(&ico, 32);
    Put32(&ico, static_cast<uint32_t>(images[i].size()));
    Put32(&ico, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::string& image : images) ico += image;
  FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return 1;
  const bool written = std::fwrite(ico.data(), 1, ico.size(), file) == ico.size();
  return std::fclose(file) == 0 && written ? 0 : 1;
}
