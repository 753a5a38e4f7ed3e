// SHA-256 through CNG: the system's SHA-256 provider, one hash object per call.
#include "platform/windows_headers_win32.h"
// clang-format off
#include <bcrypt.h>
// clang-format on

#include <cstdio>

#include "platform/error.h"
#include "platform/sha256.h"

namespace qv::platform {
namespace {

bool Succeeded(NTSTATUS aStatus) { return aStatus >= 0; }

[[noreturn]] void FailWithStatus(const char* aStep, NTSTATUS aStatus) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(aStatus));
  throw Error(std::string("Cannot compute SHA-256: ") + aStep + " failed with status " + code);
}

class tAlgorithm {
 public:
  tAlgorithm() {
    const NTSTATUS status =
        BCryptOpenAlgorithmProvider(&fHandle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!Succeeded(status)) FailWithStatus("BCryptOpenAlgorithmProvider", status);
  }
  ~tAlgorithm() { BCryptCloseAlgorithmProvider(fHandle, 0); }
  tAlgorithm(const tAlgorithm&) = delete;
  tAlgorithm& operator=(const tAlgorithm&) = delete;
  BCRYPT_ALG_HANDLE Get() const { return fHandle; }

 private:
  BCRYPT_ALG_HANDLE fHandle = nullptr;
};

class tHash {
 public:
  explicit tHash(const tAlgorithm& aAlgorithm) {
    // With a null object buffer CNG keeps the hash object's memory itself.
    const NTSTATUS status = BCryptCreateHash(aAlgorithm.Get(), &fHandle, nullptr, 0, nullptr, 0, 0);
    if (!Succeeded(status)) FailWithStatus("BCryptCreateHash", status);
  }
  ~tHash() { BCryptDestroyHash(fHandle); }
  tHash(const tHash&) = delete;
  tHash& operator=(const tHash&) = delete;
  BCRYPT_HASH_HANDLE Get() const { return fHandle; }

 private:
  BCRYPT_HASH_HANDLE fHandle = nullptr;
};

}  // namespace

Sha256Digest Sha256(std::string_view aData) {
  tAlgorithm algorithm;
  tHash hash(algorithm);
  // BCryptHashData takes at most a ULONG of bytes per call.
  constexpr std::size_t kChunk = 1u << 30;
  for (std::size_t at = 0; at < aData.size(); at += kChunk) {
    const std::string_view chunk = aData.substr(at, kChunk);
    const NTSTATUS status =
        BCryptHashData(hash.Get(), reinterpret_cast<PUCHAR>(const_cast<char*>(chunk.data())),
                       static_cast<ULONG>(chunk.size()), 0);
    if (!Succeeded(status)) FailWithStatus("BCryptHashData", status);
  }
  Sha256Digest digest{};
  const NTSTATUS status =
      BCryptFinishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
  if (!Succeeded(status)) FailWithStatus("BCryptFinishHash", status);
  return digest;
}

}  // namespace qv::platform
