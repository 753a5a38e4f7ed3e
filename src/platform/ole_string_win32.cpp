// OLE strings on Windows are oleaut32's BSTRs: SysAllocStringLen, SysFreeString and their
// siblings come from the system, so a host, this library and the companion libraries share
// one allocator whatever language or runtime each was built with. This file only checks
// that the layer's declarations match the system's.
#include "platform/windows_headers_win32.h"

#include <oleauto.h>

#include <type_traits>

#include "platform/ole_string.h"

namespace qv::platform {

static_assert(std::is_same_v<OleChar, OLECHAR>, "an OLE character is the system's OLECHAR");
static_assert(std::is_same_v<OleStr, BSTR>, "an OLE string is the system's BSTR");

}  // namespace qv::platform
