// The till that the harnesses under fuzz/ send their inputs to, and the conversion of an
// input into the OLE string a host would pass.
//
// PrepareTill, called once before the first input, makes a scratch folder (in memory where
// the machine has /dev/shm) the drive C, the temporary folder and the working directory,
// loads the library's state as the library's own load does (application object, processor
// tables, the signing processor's class) and opens processor 1 for the till "EX1" of the
// examples, with the stand-in signing box and receipt printer that lie beside the harness.
// The scratch folder is removed when the program ends.
//
// Threading: the harnesses run one input at a time on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ole_string.h"

namespace qv::fuzz {

// The handle of the processor PrepareTill opened.
inline constexpr int32_t kOpenedHandle = 1;

void PrepareTill();

// The native path of a file of the till's folder "C:\QV_FPR_DB\EX1\" (aName "" for the folder).
std::string TillFile(const std::string& aName);
// The native path of a file on the scratch drive C ("AlgoBox/control.txt").
std::string DriveCFile(const std::string& aRelative);

// The input as the OLE string of a request. The bytes are UTF-8, with two liberties that a
// host's UTF-16 text can take and UTF-8 cannot: a three-byte sequence ED A0..BF xx stands for
// the lone surrogate it encodes, and a NUL byte is a NUL unit inside the text.
platform::OleString RequestText(const uint8_t* aData, std::size_t aSize);

using tProcessExport = int32_t (*)(platform::OleStr, platform::OleStr*, platform::OleStr*);
// Calls the export with the request and frees what it gives back; returns its result code.
int32_t Call(tProcessExport aExport, const platform::OleString& aRequest);
// Runs OPEN with the request (again on processor 1 when it carries its handle).
int32_t CallOpen(const platform::OleString& aRequest);

// Every aEvery-th call empties the journal and error folders of the till, so that a long
// run does not fill the scratch drive with receipts.
void TidyTill(int aEvery = 500);

}  // namespace qv::fuzz
