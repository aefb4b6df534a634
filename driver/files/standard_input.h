#pragma once

#include <string>

namespace driver {

// Standard input, read whole as bytes (no line ends changed). Throws
// InputFileError, with the reason, when it cannot be read, and refuses
// more than its bound (text/input_bounds.h) as soon as it is passed.
std::string ReadStandardInput();

}  // namespace driver
