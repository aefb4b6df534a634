#pragma once

namespace driver {

// Lets the windows layer forget the messages it has delivered so far. The
// stand-in Windows keeps every message for tests to inspect; a run reads
// the windows' state instead, and forgets them after each action, so that
// a long session does not grow with them. Real Windows keeps none.
void ForgetDeliveredMessages();

}  // namespace driver
