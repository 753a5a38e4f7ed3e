// The half of COM's result texts that is the same on every system, for com_posix.cpp and
// com_win32.cpp: Windows' English texts of the COM codes that the Box's callers meet, which a
// system's message table may lack (Wine's has none for most of them). Used inside the
// platform layer only.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/com.h"

namespace qv::platform::com_system {

// One entry of a table of result texts.
struct ResultText {
  uint32_t code;
  const char* text;
};

// The text of aResult in aTable, or null when the table lacks it.
const char* FindResultText(std::span<const ResultText> aTable, HRESULT aResult);

// The text of aResult among the COM codes, or "OLE error 80004021" (eight upper-case hex
// digits) for a code that is not one of them.
std::string ComResultText(HRESULT aResult);

}  // namespace qv::platform::com_system
