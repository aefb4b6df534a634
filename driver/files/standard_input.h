#pragma once

#include <string>

namespace driver {

// Standard input, read whole as bytes (no line ends changed). Throws
// InputFileError, with the reason, when it cannot be read.
std::string ReadStandardInput();

}  // namespace driver
