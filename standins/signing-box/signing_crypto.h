// Ed25519 keys and signatures of the simulated signing device, through OpenSSL.
// Stateless; safe from any thread. Failures throw std::runtime_error with OpenSSL's reason.
#pragma once

#include <string>
#include <string_view>

namespace qv::standins {

struct tKeyPair {
  std::string privatePem;  // PKCS#8 PEM
  std::string publicPem;   // SubjectPublicKeyInfo PEM
};

tKeyPair NewEd25519KeyPair();
// The 64-byte Ed25519 signature of aMessage with the PEM private key.
std::string SignEd25519(const std::string& aPrivatePem, std::string_view aMessage);
std::string Base64(std::string_view aBytes);

}  // namespace qv::standins
