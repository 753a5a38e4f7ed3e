// The check of a receipt's signature by the stand-in signing device, for qvfp verify.
//
// The stand-in signs "<serial>-<counter, 8 digits>" + LF + the receipt-text file with the
// Ed25519 key of its device folder, and keeps the public key beside it as
// AlgoBox\<serial>\public.pem. The receipt text is laid out again by the receipt-printer
// driver from the journal's receipt without the four trailer lines that the signature
// added, in the 8-bit form the signed file had.
//
// Stateless; loads the receipt-printer driver for each check.
#pragma once

#include <filesystem>
#include <string>

namespace qv::host {

struct tSignatureCheck {
  enum tOutcome { kValid, kInvalid, kCannot } outcome = kCannot;
  std::string signatureId;  // "<serial>-<counter>"
  std::string reason;       // why it cannot be checked
};

// Checks the signature of the receipt in aJournalText (a journal file as UTF-8 text) with
// the device keys under aBoxFolder. Never throws: a failure to check is kCannot with its
// reason.
tSignatureCheck CheckReceiptSignature(const std::string& aJournalText,
                                      const std::filesystem::path& aBoxFolder);

}  // namespace qv::host
