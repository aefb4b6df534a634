#include "text/number_text.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "text/name_text.h"

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

namespace {

// For a decimal number that from_chars found out of range: true when it is
// too large (at least 1), false when it is too small. Its leading digit's
// place and its exponent tell, whatever the number of digits.
bool TooLarge(std::string_view text) {
    std::size_t i = text[0] == '-' ? 1 : 0;
    long long place = -1;  // of the leading non-zero digit, 10^place
    long long digits = 0;  // before the decimal point, from the leading one
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (digits > 0 || text[i] != '0') {
            ++digits;
        }
    }
    if (digits > 0) {
        place = digits - 1;
    } else if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] == '0'; ++i) {
            --place;
        }
    }
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    }
    long long exponent = 0;
    bool negative = false;
    if (i < text.size()) {
        ++i;  // the 'e'
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            negative = text[i++] == '-';
        }
    }
    for (; i < text.size(); ++i) {
        exponent = std::min(exponent * 10 + (text[i] - '0'), 1000000000LL);
    }
    exponent = negative ? -exponent : exponent;
    return place + exponent >= 0;
}

// A number of at most 15 digits without an exponent ("-12.375"), as most
// numbers of scene files are.
bool ReadShortDecimal(std::string_view text, double& value) {
    const bool negative = !text.empty() && text[0] == '-';
    std::size_t i = negative ? 1 : 0;
    std::uint64_t digits = 0;
    std::size_t count = 0;
    std::size_t whole = 0;
    for (; i < text.size() && count <= 15; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
            ++count;
        } else if (c == '.' && whole == 0 && count > 0 && i + 1 < text.size()) {
            whole = count;
        } else {
            return false;
        }
    }
    if (i != text.size() || count == 0 || count > 15) {
        return false;
    }
    value = DecimalOfDigits(digits, whole == 0 ? 0 : count - whole, negative);
    return true;
}

template <class Number>
NumberProblem ReadDecimal(std::string_view text, Number& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    Number parsed = 0;
    const std::from_chars_result read = std::from_chars(begin, end, parsed);
    if (text.empty() || read.ptr != end) {
        return NumberProblem::NotANumber;
    }
    if (read.ec == std::errc::result_out_of_range) {
        if (TooLarge(text)) {
            return NumberProblem::NotFinite;
        }
        value = text[0] == '-' ? -Number(0) : Number(0);
        return NumberProblem::None;
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

}  // namespace

double DecimalOfDigits(std::uint64_t digits, std::size_t fraction, bool negative) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double magnitude = static_cast<double>(digits) / kPowers[fraction];
    return negative ? -magnitude : magnitude;
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
    return ReadDecimal(text, value);
}

NumberProblem ReadNumber(std::string_view text, double& value) {
    return ReadShortDecimal(text, value) ? NumberProblem::None : ReadDecimal(text, value);
}

NumberProblem ReadSingleNumber(std::string_view text, double& value) {
    if (ReadShortDecimal(text, value)) {
        return NumberProblem::None;  // below 10^15, well within single precision
    }
    double wide = 0;
    const NumberProblem problem = ReadDecimal(text, wide);
    if (problem == NumberProblem::None && std::fabs(wide) <= FLT_MAX) {
        value = wide;
        return problem;
    }
    // Beyond the largest float, single precision decides from the text:
    // the nearest double may be the halfway point above the largest float,
    // which narrows to an infinity, when the text itself lies below it.
    float single = 0;
    if (problem == NumberProblem::NotANumber || ReadNumber(text, single) != NumberProblem::None) {
        return problem == NumberProblem::NotANumber ? problem : NumberProblem::NotFinite;
    }
    value = single;
    return NumberProblem::None;
}

std::string NumberProblemText(std::string_view text, NumberProblem problem) {
    const std::string quoted = QuotedExcerpt(std::string(text));
    return problem == NumberProblem::NotFinite ? quoted + " is not a finite number in single precision"
                                               : quoted + " is not a number";
}

}  // namespace driver
