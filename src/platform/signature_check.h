// Checks of Ed25519 signatures (RFC 8032) against a public key, for the auditor's check of a
// till's journal: OpenSSL on Linux; Windows' CNG offers no Ed25519, so there the check is
// not available.
//
// Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// True when this system can check Ed25519 signatures.
bool CanCheckEd25519Signatures();

// True when aSignature (the 64 signature bytes) is the Ed25519 signature of aMessage under
// aPublicKeyPem (a SubjectPublicKeyInfo PEM), false when it is not. Throws qv::Error
// ("Cannot read the public key: ...") for a key that is not an Ed25519 public key, and
// ("Ed25519 signatures cannot be checked on this system") where the check is not available.
bool CheckEd25519Signature(const std::string& aPublicKeyPem, std::string_view aMessage,
                           std::string_view aSignature);

}  // namespace qv::platform
