#include "hosting/window_records.h"

namespace driver {

void ForgetDeliveredMessages() {}

}  // namespace driver
