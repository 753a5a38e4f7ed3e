// The stand-in signing device's signature of a journal receipt, checked against its key.
#include "verify_signature.h"

#include <regex>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "base/xml_utils.h"
#include "kavren/receipt_text.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/signature_check.h"

namespace qv::host {

namespace {

namespace fs = std::filesystem;

std::string FromBase64(std::string_view aText, bool& aValid) {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  uint32_t buffer = 0;
  int bits = 0;
  aValid = !aText.empty();
  for (char c : aText) {
    if (c == '=') break;
    const std::size_t at = kAlphabet.find(c);
    if (at == std::string_view::npos) {
      aValid = false;
      return bytes;
    }
    buffer = (buffer << 6) | static_cast<uint32_t>(at);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return bytes;
}

std::vector<std::string> TrailerValues(const pugi::xml_node& aReceipt) {
  std::vector<std::string> values;
  for (pugi::xml_node text : aReceipt.child("TrailerMessages").children("Text")) {
    values.push_back(base::ElementText(text.child("Value")));
  }
  return values;
}

// The receipt text as it was signed; empty with aReason set when it cannot be laid out.
std::string SignedReceiptText(pugi::xml_node aReceipt, std::string& aReason) {
  pugi::xml_node trailer = aReceipt.child("TrailerMessages");
  for (int i = 0; i < 4; ++i) trailer.remove_child(trailer.last_child());
  if (!trailer.first_child()) aReceipt.remove_child(trailer);
  const kavren::tReceiptText laidOut = kavren::LayOutReceiptText(aReceipt);
  if (laidOut.resultCode != 0) {
    aReason = "the receipt texts cannot be laid out again: " + laidOut.errorText;
    return "";
  }
  return kavren::AnsiLines(laidOut.text);
}

std::string ReadKey(const fs::path& aKey) {
  std::string content;
  platform::ReadWholeFile(aKey.string(), content).ThrowIfFailed();
  return content;
}

tSignatureCheck CheckOrThrow(const std::string& aJournalText, const fs::path& aBoxFolder) {
  tSignatureCheck check;
  pugi::xml_document document;
  base::ParseXml(document, aJournalText);
  pugi::xml_node receipt = document.document_element().child("Receipt");
  const std::vector<std::string> values = TrailerValues(receipt);
  if (values.size() < 4) {
    check.reason = "a receipt without its signature's trailer lines cannot be checked";
    return check;
  }
  // The halves of the signature share the blank between them.
  std::string id = values[values.size() - 2];
  std::string signature = values.back();
  if (!id.empty() && id.back() == ' ') id.pop_back();
  if (!signature.empty() && signature.front() == ' ') signature.erase(0, 1);
  check.signatureId = id;
  // Only the stand-in's form leads to a key, so that a journal file cannot point the check
  // at another file.
  static const std::regex standInId(R"(([A-Za-z0-9_]+)-\d{8})");
  std::smatch parts;
  std::error_code failed;
  if (!std::regex_match(id, parts, standInId) ||
      !fs::is_regular_file(aBoxFolder / parts[1].str() / "public.pem", failed)) {
    check.reason = "the signing device \"" + id.substr(0, id.rfind('-')) +
                   "\" is not the stand-in signing device (no public key in AlgoBox): its "
                   "signatures cannot be checked";
    return check;
  }
  const std::string text = SignedReceiptText(receipt, check.reason);
  if (!check.reason.empty()) return check;
  bool readable = false;
  const std::string bytes = FromBase64(signature, readable);
  const bool valid =
      readable && platform::CheckEd25519Signature(
                      ReadKey(aBoxFolder / parts[1].str() / "public.pem"), id + "\n" + text, bytes);
  check.outcome = valid ? tSignatureCheck::kValid : tSignatureCheck::kInvalid;
  return check;
}

}  // namespace

tSignatureCheck CheckReceiptSignature(const std::string& aJournalText, const fs::path& aBoxFolder) {
  try {
    return CheckOrThrow(aJournalText, aBoxFolder);
  } catch (const std::exception& e) {
    tSignatureCheck check;
    check.reason = std::string("the signatures cannot be checked: ") + e.what();
    return check;
  }
}

}  // namespace qv::host
