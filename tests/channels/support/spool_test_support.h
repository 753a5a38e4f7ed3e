// What the spooler tests need around a real print spooler: a printer port on 127.0.0.1 that
// takes each job's bytes as a network receipt printer would (one connection per job, read to
// its end), and a reader of PWG raster pages, so that a test sees where a picture landed on
// the printed page.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"

namespace qv::test_support {

// A printer's raw port (as "JetDirect" port 9100) at a port the system picks. Every
// connection is one job; its bytes are kept until the test takes them.
class PrinterPort {
 public:
  PrinterPort() : fThread([this] { Serve(); }) {}
  ~PrinterPort() {
    fStop = true;
    fThread.join();
  }
  PrinterPort(const PrinterPort&) = delete;
  PrinterPort& operator=(const PrinterPort&) = delete;

  uint16_t Port() const { return fListener.Port(); }

  // The bytes of the next job, or nothing when no job arrived within aTimeoutMs.
  std::optional<std::string> NextJob(int aTimeoutMs) {
    std::unique_lock<std::mutex> lock(fMutex);
    if (!fArrived.wait_for(lock, std::chrono::milliseconds(aTimeoutMs),
                           [this] { return !fJobs.empty(); })) {
      return std::nullopt;
    }
    std::string job = std::move(fJobs.front());
    fJobs.pop_front();
    return job;
  }

  // Whether any job came in within aTimeoutMs (and leaves it for NextJob).
  bool AnyJobWithin(int aTimeoutMs) {
    std::unique_lock<std::mutex> lock(fMutex);
    return fArrived.wait_for(lock, std::chrono::milliseconds(aTimeoutMs),
                             [this] { return !fJobs.empty(); });
  }

 private:
  static constexpr int kJobTimeoutMs = 20000;

  void Serve() {
    while (!fStop) {
      std::unique_ptr<platform::TcpStream> stream = fListener.Accept(100);
      if (!stream) continue;
      std::string data = ReadToEnd(*stream);
      std::lock_guard<std::mutex> lock(fMutex);
      fJobs.push_back(std::move(data));
      fArrived.notify_all();
    }
  }

  std::string ReadToEnd(platform::TcpStream& aStream) {
    std::string data;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kJobTimeoutMs);
    try {
      while (!fStop && !aStream.PeerClosed() && std::chrono::steady_clock::now() < deadline) {
        data += aStream.ReadSome(100);
      }
    } catch (const Error&) {
      // A reset connection ends the job with what arrived.
    }
    return data;
  }

  platform::TcpListener fListener;
  std::atomic<bool> fStop{false};
  std::mutex fMutex;
  std::condition_variable fArrived;
  std::deque<std::string> fJobs;
  std::thread fThread;
};

// One page of a PWG raster document in 24-bit colour.
struct RasterPage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t dpiX = 0;
  uint32_t dpiY = 0;
  uint32_t bitsPerPixel = 0;
  std::vector<uint8_t> samples;  // three bytes a pixel, rows from the top

  uint32_t Pixel(uint32_t aX, uint32_t aY) const {
    const size_t at = (static_cast<size_t>(aY) * width + aX) * 3;
    return uint32_t{samples[at]} << 16 | uint32_t{samples[at + 1]} << 8 | samples[at + 2];
  }
};

// The pixels that are not white, as the rectangle [left, right) x [top, bottom).
struct InkBox {
  uint32_t left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const InkBox&) const = default;
};

inline InkBox InkBoxOf(const RasterPage& aPage) {
  InkBox box{aPage.width, aPage.height, 0, 0};
  for (uint32_t y = 0; y < aPage.height; ++y) {
    for (uint32_t x = 0; x < aPage.width; ++x) {
      if (aPage.Pixel(x, y) == 0xFFFFFF) continue;
      box.left = std::min(box.left, x), box.right = std::max(box.right, x + 1);
      box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y + 1);
    }
  }
  return box;
}

// Reads the first page of a PWG raster stream ("RaS2", a 1796-byte big-endian page header,
// then the rows in PackBits-style runs). False with aError for anything else.
inline bool ReadPwgRasterPage(const std::string& aData, RasterPage& aPage, std::string& aError) {
  constexpr size_t kHeaderSize = 1796;
  if (aData.size() < 4 + kHeaderSize || aData.compare(0, 4, "RaS2") != 0) {
    aError = "not a PWG raster stream";
    return false;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(aData.data());
  auto field = [bytes](size_t aOffset) {
    const uint8_t* at = bytes + 4 + aOffset;
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
  };
  aPage.dpiX = field(276);
  aPage.dpiY = field(280);
  aPage.width = field(372);
  aPage.height = field(376);
  aPage.bitsPerPixel = field(388);
  if (aPage.bitsPerPixel != 24 || aPage.width == 0 || aPage.height == 0 ||
      field(392) != aPage.width * 3) {
    aError = "unexpected page layout";
    return false;
  }
  const size_t rowBytes = static_cast<size_t>(aPage.width) * 3;
  aPage.samples.assign(rowBytes * aPage.height, 0xFF);
  size_t at = 4 + kHeaderSize;
  auto truncated = [&] {
    aError = "page data ends early";
    return false;
  };
  for (uint32_t y = 0; y < aPage.height;) {
    if (at >= aData.size()) return truncated();
    const uint32_t copies = bytes[at++] + 1u;
    std::vector<uint8_t> row(rowBytes, 0xFF);
    for (size_t x = 0; x < rowBytes;) {
      if (at >= aData.size()) return truncated();
      const uint8_t control = bytes[at++];
      if (control == 128) break;  // the rest of the row is white
      if (control < 128) {
        if (at + 3 > aData.size()) return truncated();
        for (uint32_t n = 0; n <= control && x < rowBytes; ++n, x += 3) {
          std::copy(bytes + at, bytes + at + 3, row.begin() + static_cast<long>(x));
        }
        at += 3;
      } else {
        const size_t count = (257u - control) * 3u;
        if (at + count > aData.size() || x + count > rowBytes) return truncated();
        std::copy(bytes + at, bytes + at + count, row.begin() + static_cast<long>(x));
        at += count, x += count;
      }
    }
    for (uint32_t n = 0; n < copies && y < aPage.height; ++n, ++y) {
      std::copy(row.begin(), row.end(), aPage.samples.begin() + static_cast<long>(y * rowBytes));
    }
  }
  return true;
}

}  // namespace qv::test_support
