// Ed25519 signature checks through OpenSSL's EVP interface.
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

#include "platform/error.h"
#include "platform/signature_check.h"

namespace qv::platform {

bool CanCheckEd25519Signatures() { return true; }

bool CheckEd25519Signature(const std::string& aPublicKeyPem, std::string_view aMessage,
                           std::string_view aSignature) {
  std::unique_ptr<BIO, decltype(&BIO_free)> pem(
      BIO_new_mem_buf(aPublicKeyPem.data(), static_cast<int>(aPublicKeyPem.size())), &BIO_free);
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      pem ? PEM_read_bio_PUBKEY(pem.get(), nullptr, nullptr, nullptr) : nullptr, &EVP_PKEY_free);
  if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) {
    throw Error("Cannot read the public key: not an Ed25519 public key in PEM form");
  }
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free);
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
    throw Error("Cannot check the signature: the system refused the key");
  }
  return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(aSignature.data()),
                          aSignature.size(),
                          reinterpret_cast<const unsigned char*>(aMessage.data()),
                          aMessage.size()) == 1;
}

}  // namespace qv::platform
