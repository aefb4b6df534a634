#include "hosting/window_records.h"

#include "win32/standin_extensions.h"

namespace driver {

void ForgetDeliveredMessages() { win32standin::ClearMessageLog(); }

}  // namespace driver
