// SHA-256 digests, from the system's cryptography: OpenSSL on Linux, CNG (BCrypt) on Windows.
// The till's journal chain and the auditor's check of it hash every journal file with it.
//
// Stateless; safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

// The SHA-256 digest of aData. Throws qv::Error ("Cannot compute SHA-256: <reason>") when the
// system's cryptography refuses, which a working system never does.
Sha256Digest Sha256(std::string_view aData);

// The 64 lower-case hexadecimal digits of aDigest.
std::string Sha256Hex(const Sha256Digest& aDigest);

}  // namespace qv::platform
