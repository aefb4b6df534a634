#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "point3.h"

namespace driver {

// The values of options, read or refused with a UsageError that starts
// with the option's name.

// Node indices I,J,...: each a node's pre-order index, never the root's
// (0), each once.
std::vector<std::size_t> ReadSelection(const std::string& value, const std::string& option);

// A point x,y,z of finite single-precision numbers.
Point3 ReadPoint(const std::string& value, const std::string& option);

// A TCP port, 0 to 65535, in decimal digits.
int ReadPort(const std::string& value, const std::string& option);

}  // namespace driver
