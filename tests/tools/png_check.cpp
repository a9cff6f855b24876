// Checks pixels of a PNG file written by pintovel-render, reading it with libpng.
//
//   pintovel_png_check FILE [--size WxH] [--grey | --rgb]
//                           [--pixel X,Y=V] [--rect X0,Y0,X1,Y1=V] [--dump]
//
// V is R,G,B for an RGB image or one value for a greyscale one; --rect checks every pixel
// with X0 <= x < X1 and Y0 <= y < Y1. Exit status 0 when every check holds, 1 otherwise
// (each failure is printed), 2 for a bad command line or an unreadable file.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Image {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<unsigned char> pixels;
};

bool ReadImage(const char* path, Image& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path) == 0) {
    std::fprintf(stderr, "cannot read %s: %s\n", path, image.message);
    return false;
  }
  // Only 8-bit images without palette or alpha are what the tool writes.
  if ((image.format &
       (PNG_FORMAT_FLAG_ALPHA | PNG_FORMAT_FLAG_COLORMAP | PNG_FORMAT_FLAG_LINEAR)) != 0) {
    std::fprintf(stderr, "%s: unexpected PNG format %u\n", path, image.format);
    png_image_free(&image);
    return false;
  }
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.channels = (image.format & PNG_FORMAT_FLAG_COLOR) != 0 ? 3 : 1;
  out.pixels.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) == 0) {
    std::fprintf(stderr, "cannot decode %s: %s\n", path, image.message);
    return false;
  }
  return true;
}

std::vector<int> Numbers(const std::string& text) {
  std::vector<int> values;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) values.push_back(std::atoi(item.c_str()));
  return values;
}

std::string Describe(const Image& image, int x, int y) {
  std::string text;
  for (int c = 0; c < image.channels; ++c) {
    if (c > 0) text += ",";
    text += std::to_string(
        image.pixels[(static_cast<std::size_t>(y) * image.width + x) * image.channels + c]);
  }
  return text;
}

// Checks one region against the expected channel values; returns the failures.
int CheckRegion(const Image& image, int x0, int y0, int x1, int y1,
                const std::vector<int>& expected) {
  if (static_cast<int>(expected.size()) != image.channels) {
    std::fprintf(stderr, "expected %d channel value(s), got %zu\n", image.channels,
                 expected.size());
    return 1;
  }
  if (x0 < 0 || y0 < 0 || x1 > image.width || y1 > image.height || x0 >= x1 || y0 >= y1) {
    std::fprintf(stderr, "region %d,%d,%d,%d is outside the %dx%d image\n", x0, y0, x1, y1,
                 image.width, image.height);
    return 1;
  }
  int failures = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      for (int c = 0; c < image.channels; ++c) {
        const int got =
            image.pixels[(static_cast<std::size_t>(y) * image.width + x) * image.channels + c];
        if (got != expected[static_cast<std::size_t>(c)]) {
          if (failures < 20) {
            std::fprintf(stderr, "pixel %d,%d is %s\n", x, y, Describe(image, x, y).c_str());
          }
          ++failures;
          break;
        }
      }
    }
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [checks]\n", argv[0]);
    return 2;
  }
  Image image;
  if (!ReadImage(argv[1], image)) return 2;
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    const std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (option == "--dump") {
      for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
          std::printf("%s%s", x > 0 ? " " : "", Describe(image, x, y).c_str());
        }
        std::printf("\n");
      }
    } else if (option == "--grey" || option == "--rgb") {
      const int want = option == "--grey" ? 1 : 3;
      if (image.channels != want) {
        std::fprintf(stderr, "the image has %d channel(s), not %d\n", image.channels, want);
        ++failures;
      }
    } else if (option == "--size") {
      const std::size_t cross = value.find('x');
      const int w = std::atoi(value.substr(0, cross).c_str());
      const int h = cross == std::string::npos ? -1 : std::atoi(value.substr(cross + 1).c_str());
      if (w != image.width || h != image.height) {
        std::fprintf(stderr, "the image is %dx%d, not %s\n", image.width, image.height,
                     value.c_str());
        ++failures;
      }
      ++i;
    } else if (option == "--pixel" || option == "--rect") {
      const std::size_t equals = value.find('=');
      if (equals == std::string::npos) {
        std::fprintf(stderr, "%s needs WHERE=VALUE\n", option.c_str());
        return 2;
      }
      const std::vector<int> where = Numbers(value.substr(0, equals));
      const std::vector<int> expected = Numbers(value.substr(equals + 1));
      if (option == "--pixel" && where.size() == 2) {
        failures += CheckRegion(image, where[0], where[1], where[0] + 1, where[1] + 1, expected);
      } else if (option == "--rect" && where.size() == 4) {
        failures += CheckRegion(image, where[0], where[1], where[2], where[3], expected);
      } else {
        std::fprintf(stderr, "bad region in %s %s\n", option.c_str(), value.c_str());
        return 2;
      }
      ++i;
    } else {
      std::fprintf(stderr, "unknown check %s\n", option.c_str());
      return 2;
    }
  }
  if (failures > 0) {
    std::fprintf(stderr, "%s: %d check(s) failed\n", argv[1], failures);
    return 1;
  }
  return 0;
}
