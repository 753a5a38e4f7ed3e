// The OPOS Fiscal Printer control reached by late binding: the operations of
// IOPOSFiscalPrinter (channels/opos_control.h) forwarded by name to the control's IDispatch,
// as the control's type library declares them. A control of any vendor is driven this way,
// whatever the layout of its own interface table:
//   - a method is called with its arguments in their declared order and answers the OPOS
//     result code; DirectIO, GetDate and GetData take their in-out arguments by reference;
//   - a property is read and written by its standard name;
//   - amounts travel as the currency type, Booleans as VARIANT_BOOL, texts as OLE strings.
// A call that the control cannot take (an unknown name, an exception it raises) fails with
// its result code and leaves an error object with the control's own description.
//
// Threading: the thread that created the control object, as for the control itself.
#pragma once

#include "channels/opos_control.h"
#include "platform/com.h"

namespace qv::channels {

// The programmatic name under which the control is registered.
inline constexpr const char* kOposFiscalPrinterProgId = "OPOS.FiscalPrinter";

// An IOPOSFiscalPrinter that forwards to aControl (which it keeps a reference to).
platform::ComPtr<IOPOSFiscalPrinter> NewDispatchFiscalPrinter(
    platform::ComPtr<platform::IDispatch> aControl);

}  // namespace qv::channels
