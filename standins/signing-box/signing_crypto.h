// Ed25519 keys and signatures of the simulated signing device, through OpenSSL.
// Safe from any thread. Failures throw std::runtime_error with OpenSSL's reason.
#pragma once

#include <memory>
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

// The device key of one Box object, made from its PEM text once and kept while the device's
// key file holds the same text: making the key costs several times the signature.
// Sign may be called from any thread; calls wait for each other.
class tDeviceKey {
 public:
  tDeviceKey();
  ~tDeviceKey();
  tDeviceKey(const tDeviceKey&) = delete;
  tDeviceKey& operator=(const tDeviceKey&) = delete;

  // As SignEd25519.
  std::string Sign(const std::string& aPrivatePem, std::string_view aMessage);

 private:
  struct tMade;
  std::unique_ptr<tMade> fMade;
};
std::string Base64(std::string_view aBytes);

}  // namespace qv::standins
