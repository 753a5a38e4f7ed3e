// Windows' CNG has no Ed25519: signatures are not checked on this system.
#include "platform/error.h"
#include "platform/signature_check.h"

namespace qv::platform {

bool CanCheckEd25519Signatures() { return false; }

bool CheckEd25519Signature(const std::string&, std::string_view, std::string_view) {
  throw Error("Ed25519 signatures cannot be checked on this system");
}

}  // namespace qv::platform
