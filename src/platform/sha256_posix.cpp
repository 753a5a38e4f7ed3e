// SHA-256 through OpenSSL's EVP interface.
#include <openssl/err.h>
#include <openssl/evp.h>

#include <memory>

#include "platform/error.h"
#include "platform/sha256.h"

namespace qv::platform {
namespace {

[[noreturn]] void FailWithOpenSslReason() {
  char reason[256] = "unknown reason";
  const unsigned long code = ERR_get_error();
  if (code != 0) ERR_error_string_n(code, reason, sizeof reason);
  throw Error(std::string("Cannot compute SHA-256: ") + reason);
}

}  // namespace

Sha256Digest Sha256(std::string_view aData) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free);
  Sha256Digest digest{};
  unsigned int length = 0;
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), aData.data(), aData.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size()) {
    FailWithOpenSslReason();
  }
  return digest;
}

}  // namespace qv::platform
