#pragma once

#include <string>

namespace driver::svg {

// A picture coordinate with one decimal, as the picture writes them.
void AppendNumber(std::string& out, double value);
std::string Number(double value);

// XML text of a name: markup characters escaped, control bytes and (in a
// name that is not UTF-8) bytes from 0x80 up shown as '?'.
std::string Escape(const std::string& text);

// A label's text: at most `columns` characters, the rest shown as "…",
// so that no name is wider than a view.
std::string Shortened(const std::string& text, std::size_t columns);

}  // namespace driver::svg
