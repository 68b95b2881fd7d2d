// pylon icon SIZE OUT.png: writes the program's icon (the same picture as the window icon)
// as a SIZE x SIZE RGBA PNG. The build runs it for every size the desktop icon theme gets.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/PngEncoder.h"
#include "screen/WindowIcon.h"
#include "tool/Command.h"

namespace {

constexpr int smallestIcon = 16, largestIcon = 256;

int runIcon(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: pylon icon SIZE OUT.png\n");
    return 1;
  }
  char* end = nullptr;
  const long size = std::strtol(argv[1], &end, 10);
  if (!*argv[1] || *end || size < smallestIcon || size > largestIcon) {
    // The icon is drawn for 16 to 256 pixels; anything else would silently come out another size.
    std::fprintf(stderr, "pylon icon: the size must be a whole number from %d to %d, not \"%s\"\n", smallestIcon,
                 largestIcon, argv[1]);
    return 1;
  }
  const int side = static_cast<int>(size);
  const std::vector<unsigned char> pixels = makeWindowIcon(side);
  const std::vector<uint8_t> png = content::encodePng(side, side, 4, pixels.data());
  FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::fprintf(stderr, "pylon icon: cannot write %s\n", argv[2]);
    return 1;
  }
  const bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
  if (std::fclose(out) != 0 || !written || png.empty()) {
    std::fprintf(stderr, "pylon icon: cannot write %s\n", argv[2]);
    std::remove(argv[2]);
    return 1;
  }
  return 0;
}

CommandRegistrar icon("icon", "icon SIZE OUT.png       write the program's icon as a SIZE x SIZE PNG", runIcon);

}  // namespace
