#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace driver {

void AppendNumber(std::string& out, float value) {
    // Whole numbers below 10000 are shortest written out in digits, as
    // to_chars writes them; scene files hold many.
    if (value > -10000.0f && value < 10000.0f && value == static_cast<float>(static_cast<int>(value)) &&
        (value != 0.0f || !std::signbit(value))) {
        int whole = static_cast<int>(value);
        if (whole < 0) {
            out += '-';
            whole = -whole;
        }
        char digits[8];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        while (count > 0) {
            out += digits[--count];
        }
        return;
    }
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

std::string NumberText(float value) {
    std::string text;
    AppendNumber(text, value);
    return text;
}

std::string NumberText(double value) {
    const auto narrowed = static_cast<float>(value);
    if (std::isfinite(narrowed) || !std::isfinite(value)) {
        return NumberText(narrowed);
    }
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

NumberProblem ReadNumber(std::string_view text, float& value) {
    // Whole numbers of up to seven digits are exact in single precision:
    // they need no rounding, and scene files hold many of them.
    if (!text.empty() && text.size() <= 8) {
        const bool negative = text[0] == '-';
        std::size_t i = negative ? 1 : 0;
        std::int32_t whole = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            whole = whole * 10 + (text[i] - '0');
        }
        if (i == text.size() && i > (negative ? 1u : 0u)) {
            value = negative ? -static_cast<float>(whole) : static_cast<float>(whole);
            return NumberProblem::None;
        }
    }
    const char* begin = text.data();
    const char* end = begin + text.size();
    float parsed = 0.0f;
    const std::from_chars_result read = std::from_chars(begin, end, parsed);
    if (read.ptr != end || text.empty()) {
        return NumberProblem::NotANumber;
    }
    if (read.ec == std::errc::result_out_of_range) {
        // Too large, or too small to be anything but a zero: the wider
        // reading tells which.
        double wide = 0.0;
        std::from_chars(begin, end, wide);
        if (std::isfinite(wide) && std::fabs(wide) < 1.0) {
            value = std::signbit(wide) ? -0.0f : 0.0f;
            return NumberProblem::None;
        }
        return NumberProblem::NotFinite;
    }
    if (read.ec != std::errc()) {
        return NumberProblem::NotANumber;
    }
    if (!std::isfinite(parsed)) {
        return NumberProblem::NotFinite;
    }
    value = parsed;
    return NumberProblem::None;
}

std::string NumberProblemText(std::string_view text, NumberProblem problem) {
    const std::string quoted = "\"" + std::string(text) + "\"";
    return problem == NumberProblem::NotFinite ? quoted + " is not a finite number in single precision"
                                               : quoted + " is not a number";
}

}  // namespace driver
