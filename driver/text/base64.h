#pragma once

#include <string>
#include <string_view>

namespace driver {

// `bytes` in base64 (RFC 4648, with padding), appended to `out`.
void AppendBase64(std::string& out, std::string_view bytes);

}  // namespace driver
