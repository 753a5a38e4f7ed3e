// The picture that the page jobs of the print spooler draw; the same on every platform.
#include "platform/print_spooler.h"

#include <algorithm>

#include "platform/error.h"

namespace qv::platform {
namespace {

constexpr int32_t kMaxBitmapSide = 65535;
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 27;
constexpr uint32_t kWhite = 0xFFFFFF;

}  // namespace

Bitmap::Bitmap(int32_t aWidth, int32_t aHeight, uint32_t aColour) {
  if (aWidth < 0 || aHeight < 0 || aWidth > kMaxBitmapSide || aHeight > kMaxBitmapSide ||
      int64_t{aWidth} * aHeight > kMaxBitmapPixels) {
    throw Error("Invalid bitmap size");
  }
  fWidth = aWidth;
  fHeight = aHeight;
  fPixels.assign(static_cast<size_t>(aWidth) * static_cast<size_t>(aHeight), aColour & 0xFFFFFF);
}

uint32_t Bitmap::Pixel(int32_t aX, int32_t aY) const {
  if (aX < 0 || aY < 0 || aX >= fWidth || aY >= fHeight) return kWhite;
  return fPixels[static_cast<size_t>(aY) * static_cast<size_t>(fWidth) + static_cast<size_t>(aX)];
}

void Bitmap::SetPixel(int32_t aX, int32_t aY, uint32_t aColour) {
  if (aX < 0 || aY < 0 || aX >= fWidth || aY >= fHeight) return;
  fPixels[static_cast<size_t>(aY) * static_cast<size_t>(fWidth) + static_cast<size_t>(aX)] =
      aColour & 0xFFFFFF;
}

void Bitmap::FillRect(int32_t aX, int32_t aY, int32_t aWidth, int32_t aHeight, uint32_t aColour) {
  const int64_t left = std::max<int64_t>(aX, 0);
  const int64_t top = std::max<int64_t>(aY, 0);
  const int64_t right = std::min<int64_t>(int64_t{aX} + aWidth, fWidth);
  const int64_t bottom = std::min<int64_t>(int64_t{aY} + aHeight, fHeight);
  for (int64_t y = top; y < bottom; ++y) {
    for (int64_t x = left; x < right; ++x) {
      fPixels[static_cast<size_t>(y * fWidth + x)] = aColour & 0xFFFFFF;
    }
  }
}

}  // namespace qv::platform
