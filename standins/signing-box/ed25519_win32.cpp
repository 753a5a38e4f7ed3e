// Ed25519 over GF(2^255 - 19) in sixteen 16-bit limbs, in the compact form of the public
// domain TweetNaCl design; SHA-512 from CNG.
#include "ed25519.h"

// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

#include <stdexcept>

namespace qv::standins {
namespace {

using gf = int64_t[16];

const gf kZero = {0};
const gf kOne = {1};
const gf kD2 = {0xf159, 0x26b2, 0x9b94, 0xebd6, 0xb156, 0x8283, 0x149a, 0x00e0,
                0xd130, 0xeef3, 0x80f2, 0x198e, 0xfce7, 0x56df, 0xd9dc, 0x2406};
const gf kX = {0xd51a, 0x8f25, 0x2d60, 0xc956, 0xa7b2, 0x9525, 0xc760, 0x692c,
               0xdc5c, 0xfdd6, 0xe231, 0xc0a4, 0x53fe, 0xcd6e, 0x36d3, 0x2169};
const gf kY = {0x6658, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666,
               0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666, 0x6666};
// The group order L, little-endian.
const int64_t kL[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
                        0xa2, 0xde, 0xf9, 0xde, 0x14, 0,    0,    0,    0,    0,    0,
                        0,    0,    0,    0,    0,    0,    0,    0,    0,    0x10};

void Set(gf aOut, const gf aIn) {
  for (int i = 0; i < 16; ++i) aOut[i] = aIn[i];
}

void Carry(gf aValue) {
  for (int i = 0; i < 16; ++i) {
    aValue[i] += (int64_t{1} << 16);
    const int64_t carry = aValue[i] >> 16;
    aValue[(i + 1) * (i < 15)] += carry - 1 + 37 * (carry - 1) * (i == 15);
    aValue[i] -= carry << 16;
  }
}

// Swaps p and q when aBit is 1, without a branch.
void Select(gf aP, gf aQ, int aBit) {
  const int64_t mask = ~(int64_t{aBit} - 1);
  for (int i = 0; i < 16; ++i) {
    const int64_t t = mask & (aP[i] ^ aQ[i]);
    aP[i] ^= t;
    aQ[i] ^= t;
  }
}

void Pack(uint8_t* aOut, const gf aIn) {
  gf m, t;
  Set(t, aIn);
  Carry(t);
  Carry(t);
  Carry(t);
  for (int j = 0; j < 2; ++j) {
    m[0] = t[0] - 0xffed;
    for (int i = 1; i < 15; ++i) {
      m[i] = t[i] - 0xffff - ((m[i - 1] >> 16) & 1);
      m[i - 1] &= 0xffff;
    }
    m[15] = t[15] - 0x7fff - ((m[14] >> 16) & 1);
    const int borrow = static_cast<int>((m[15] >> 16) & 1);
    m[14] &= 0xffff;
    Select(t, m, 1 - borrow);
  }
  for (int i = 0; i < 16; ++i) {
    aOut[2 * i] = static_cast<uint8_t>(t[i] & 0xff);
    aOut[2 * i + 1] = static_cast<uint8_t>(t[i] >> 8);
  }
}

int Parity(const gf aValue) {
  uint8_t bytes[32];
  Pack(bytes, aValue);
  return bytes[0] & 1;
}

void Add(gf aOut, const gf aA, const gf aB) {
  for (int i = 0; i < 16; ++i) aOut[i] = aA[i] + aB[i];
}
void Subtract(gf aOut, const gf aA, const gf aB) {
  for (int i = 0; i < 16; ++i) aOut[i] = aA[i] - aB[i];
}
void Multiply(gf aOut, const gf aA, const gf aB) {
  int64_t t[31] = {};
  for (int i = 0; i < 16; ++i) {
    for (int j = 0; j < 16; ++j) t[i + j] += aA[i] * aB[j];
  }
  for (int i = 0; i < 15; ++i) t[i] += 38 * t[i + 16];
  for (int i = 0; i < 16; ++i) aOut[i] = t[i];
  Carry(aOut);
  Carry(aOut);
}
void Invert(gf aOut, const gf aIn) {
  gf c;
  Set(c, aIn);
  for (int a = 253; a >= 0; --a) {
    Multiply(c, c, c);
    if (a != 2 && a != 4) Multiply(c, c, aIn);
  }
  Set(aOut, c);
}

// Point addition in extended coordinates: p += q.
void AddPoints(gf aP[4], gf aQ[4]) {
  gf a, b, c, d, t, e, f, g, h;
  Subtract(a, aP[1], aP[0]);
  Subtract(t, aQ[1], aQ[0]);
  Multiply(a, a, t);
  Add(b, aP[0], aP[1]);
  Add(t, aQ[0], aQ[1]);
  Multiply(b, b, t);
  Multiply(c, aP[3], aQ[3]);
  Multiply(c, c, kD2);
  Multiply(d, aP[2], aQ[2]);
  Add(d, d, d);
  Subtract(e, b, a);
  Subtract(f, d, c);
  Add(g, d, c);
  Add(h, b, a);
  Multiply(aP[0], e, f);
  Multiply(aP[1], h, g);
  Multiply(aP[2], g, f);
  Multiply(aP[3], e, h);
}

void SwapPoints(gf aP[4], gf aQ[4], int aBit) {
  for (int i = 0; i < 4; ++i) Select(aP[i], aQ[i], aBit);
}

void PackPoint(uint8_t* aOut, gf aP[4]) {
  gf tx, ty, zi;
  Invert(zi, aP[2]);
  Multiply(tx, aP[0], zi);
  Multiply(ty, aP[1], zi);
  Pack(aOut, ty);
  aOut[31] ^= static_cast<uint8_t>(Parity(tx) << 7);
}

void ScalarMultiply(gf aP[4], gf aQ[4], const uint8_t* aScalar) {
  Set(aP[0], kZero);
  Set(aP[1], kOne);
  Set(aP[2], kOne);
  Set(aP[3], kZero);
  for (int i = 255; i >= 0; --i) {
    const int bit = (aScalar[i / 8] >> (i & 7)) & 1;
    SwapPoints(aP, aQ, bit);
    AddPoints(aQ, aP);
    AddPoints(aP, aP);
    SwapPoints(aP, aQ, bit);
  }
}

void ScalarBase(gf aP[4], const uint8_t* aScalar) {
  gf q[4];
  Set(q[0], kX);
  Set(q[1], kY);
  Set(q[2], kOne);
  Multiply(q[3], kX, kY);
  ScalarMultiply(aP, q, aScalar);
}

// aOut = aX mod L, for a 64-limb value of bytes.
void ModL(uint8_t* aOut, int64_t aX[64]) {
  int64_t carry;
  for (int i = 63; i >= 32; --i) {
    carry = 0;
    int j;
    for (j = i - 32; j < i - 12; ++j) {
      aX[j] += carry - 16 * aX[i] * kL[j - (i - 32)];
      carry = (aX[j] + 128) >> 8;
      aX[j] -= carry * 256;
    }
    aX[j] += carry;
    aX[i] = 0;
  }
  carry = 0;
  for (int j = 0; j < 32; ++j) {
    aX[j] += carry - (aX[31] >> 4) * kL[j];
    carry = aX[j] >> 8;
    aX[j] &= 255;
  }
  for (int j = 0; j < 32; ++j) aX[j] -= carry * kL[j];
  for (int i = 0; i < 32; ++i) {
    aX[i + 1] += aX[i] >> 8;
    aOut[i] = static_cast<uint8_t>(aX[i] & 255);
  }
}

void Reduce(uint8_t* aValue) {
  int64_t x[64];
  for (int i = 0; i < 64; ++i) x[i] = aValue[i];
  for (int i = 0; i < 64; ++i) aValue[i] = 0;
  ModL(aValue, x);
}

// The clamped secret scalar (first half) and the nonce prefix (second half) of a seed.
std::string ExpandedSeed(const tEd25519Seed& aSeed) {
  std::string digest =
      Sha512(std::string_view(reinterpret_cast<const char*>(aSeed.data()), aSeed.size()));
  digest[0] = static_cast<char>(digest[0] & 248);
  digest[31] = static_cast<char>((digest[31] & 127) | 64);
  return digest;
}

const uint8_t* Bytes(const std::string& aText) {
  return reinterpret_cast<const uint8_t*>(aText.data());
}

}  // namespace

std::string Sha512(std::string_view aData) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA512_ALGORITHM, nullptr, 0) != 0) {
    throw std::runtime_error("Cannot sign: SHA-512 is not available");
  }
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::string digest(64, '\0');
  const bool done = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
                    BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(aData.data())),
                                   static_cast<ULONG>(aData.size()), 0) == 0 &&
                    BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()), 64, 0) == 0;
  if (hash != nullptr) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!done) throw std::runtime_error("Cannot sign: SHA-512 failed");
  return digest;
}

tEd25519PublicKey Ed25519PublicKey(const tEd25519Seed& aSeed) {
  const std::string expanded = ExpandedSeed(aSeed);
  gf p[4];
  ScalarBase(p, Bytes(expanded));
  tEd25519PublicKey key{};
  PackPoint(key.data(), p);
  return key;
}

std::string Ed25519Sign(const tEd25519Seed& aSeed, std::string_view aMessage) {
  const std::string expanded = ExpandedSeed(aSeed);
  const tEd25519PublicKey publicKey = Ed25519PublicKey(aSeed);
  // r = H(prefix || message) mod L; R = rB.
  std::string r = Sha512(expanded.substr(32) + std::string(aMessage));
  Reduce(reinterpret_cast<uint8_t*>(r.data()));
  gf p[4];
  ScalarBase(p, Bytes(r));
  uint8_t signature[64];
  PackPoint(signature, p);
  // k = H(R || A || message) mod L; S = r + k * a mod L.
  std::string k = Sha512(std::string(reinterpret_cast<const char*>(signature), 32) +
                         std::string(reinterpret_cast<const char*>(publicKey.data()), 32) +
                         std::string(aMessage));
  Reduce(reinterpret_cast<uint8_t*>(k.data()));
  int64_t x[64] = {};
  for (int i = 0; i < 32; ++i) x[i] = Bytes(r)[i];
  for (int i = 0; i < 32; ++i) {
    for (int j = 0; j < 32; ++j) x[i + j] += int64_t{Bytes(k)[i]} * Bytes(expanded)[j];
  }
  ModL(signature + 32, x);
  return std::string(reinterpret_cast<const char*>(signature), 64);
}

}  // namespace qv::standins
