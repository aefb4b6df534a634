#pragma once

#include <string>

namespace driver {

// A UTF-8 text as a JSON string, as the scene files and glTF files are
// written: '"', '\\' and the control characters escaped (\n, \t, ... where
// JSON has a short escape, else \u00XX), every other byte as it is.
void AppendJsonString(std::string& out, const std::string& utf8);
std::string JsonString(const std::string& utf8);

}  // namespace driver
