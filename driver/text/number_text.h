#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace driver {

// Numbers as the scene files and the transcript write them: the shortest
// decimal that reads back to the same value ("0.1", "3", "-0", "1e+20").
void AppendNumber(std::string& out, float value);
std::string NumberText(float value);
// A value computed from single-precision data (a length, a direction):
// shown as the nearest single-precision value, or in double precision
// where single precision cannot hold it.
std::string NumberText(double value);

// Why a text is not a single-precision number.
enum class NumberProblem {
    None,
    NotANumber,  // not a decimal number at all
    NotFinite,   // infinite, not a number, or too large for single precision
};

// Reads a decimal number ("-1.5", "2e-3") rounded once to the nearest
// single-precision value; one too small for single precision is a zero of
// its sign. Nothing but the number may be in `text`.
NumberProblem ReadNumber(std::string_view text, float& value);
// The same in double precision, for numbers that are computed with before
// they are stored.
NumberProblem ReadNumber(std::string_view text, double& value);
// A number for a single-precision value, read in double precision to be
// computed with: NotFinite where it rounds to an infinity in single
// precision. One that rounds to the largest single-precision number (as
// 3.4028235e38, which this project writes for it) is read, as at most
// that number, so that narrowing gives the value that the text rounds to.
NumberProblem ReadSingleNumber(std::string_view text, double& value);

// The number of the decimal digits `digits` (at most 15 of them) with the
// last `fraction` of them after the point: one correctly rounded division
// of two numbers exact in double precision, so the nearest double.
double DecimalOfDigits(std::uint64_t digits, std::size_t fraction, bool negative);

// Reads an integer in decimal digits, after a '-' for a negative one where
// `Integer` is signed; nothing else may be in `text`, and the value must
// fit.
template <class Integer>
bool ReadInteger(std::string_view text, Integer& value) {
    const char* end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    return read.ec == std::errc() && read.ptr == end;
}

// The problem as a message: "\"3x\" is not a number".
std::string NumberProblemText(std::string_view text, NumberProblem problem);

}  // namespace driver
