#pragma once

#include <string>

// The host's narrow string class, passed by value.
class CStr {
public:
    CStr() = default;
    CStr(const char* text) : text_(text ? text : "") {}
    const char* data() const { return text_.c_str(); }

private:
    std::string text_;
};
