// Ed25519 (RFC 8032) signatures for the signing device stand-in on Windows, where the
// system offers no Ed25519 of its own. Only the message digest (SHA-512) comes from the
// system (CNG). Stateless; safe from any thread. Not constant-time hardened beyond what the
// arithmetic gives: it signs a simulated device's receipts, not real money.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::standins {

using tEd25519Seed = std::array<uint8_t, 32>;
using tEd25519PublicKey = std::array<uint8_t, 32>;

std::string Sha512(std::string_view aData);
tEd25519PublicKey Ed25519PublicKey(const tEd25519Seed& aSeed);
// The 64-byte signature of aMessage.
std::string Ed25519Sign(const tEd25519Seed& aSeed, std::string_view aMessage);

}  // namespace qv::standins
