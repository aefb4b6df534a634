#pragma once

// The names commands' file calls are those of the project's library for
// safe writing, shared with the driver.
#include "file_calls.h"

namespace native_file = safewrite;
