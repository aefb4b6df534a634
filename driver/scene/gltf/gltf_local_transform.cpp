// A node's local transform: from the translation, rotation and scale that
// the scan kept, or (a matrix) read again from the text, where the reader
// noted only where its arrays are: the same numbers, read the same way, to
// the last bit.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "json/json_reader.h"
#include "scene/gltf/gltf_model.h"
#include "scene/gltf/gltf_model_reader.h"
#include "text/number_text.h"
#include "text/refusal.h"

namespace driver::gltf {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNumberByte(char c) { return IsDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; }

// The number at `at`, which the reader read before, as it read it then:
// up to JsonReader::kShortDigits digits without an exponent from the
// digits, as one division, any other by ReadSingleNumber. The text ends in
// a NUL, which no number holds. Returns where the number ends.
const char* ReadNumberAgain(const char* at, double& value) {
    const bool negative = *at == '-';
    const char* next = at + (negative ? 1 : 0);
    const char* first = next;
    std::uint64_t digits = 0;
    for (; IsDigit(*next); ++next) {
        digits = digits * 10 + static_cast<std::uint64_t>(*next - '0');
    }
    std::size_t fraction = 0;
    if (*next == '.') {
        const char* point = next++;
        for (; IsDigit(*next); ++next) {
            digits = digits * 10 + static_cast<std::uint64_t>(*next - '0');
        }
        fraction = static_cast<std::size_t>(next - point - 1);
    }
    const std::size_t digitCount = static_cast<std::size_t>(next - first) - (fraction != 0 ? 1 : 0);
    if (!IsNumberByte(*next) && digitCount <= JsonReader::kShortDigits) {
        value = DecimalOfDigits(digits, fraction, negative);
        return next;
    }
    while (IsNumberByte(*next)) {
        ++next;
    }
    if (ReadSingleNumber(std::string_view(at, static_cast<std::size_t>(next - at)), value) != NumberProblem::None) {
        throw CodedError(RefusalCode::Failed, "a node's transform no longer reads as it did");
    }
    return next;
}

// `count` numbers of the array at `at` of `json`, which the reader has read
// before: numbers, commas and blanks up to its end.
void ReadNumbersAgain(const std::string& json, std::size_t at, std::size_t count, double* out) {
    const char* next = json.c_str() + at;
    for (std::size_t i = 0; i < count; ++i) {
        while (*next != '\0' && !IsDigit(*next) && *next != '-') {
            ++next;
        }
        if (*next == '\0') {
            throw CodedError(RefusalCode::Failed, "a node's transform no longer reads as it did");
        }
        next = ReadNumberAgain(next, out[i]);
    }
}

}  // namespace

standin::Affine LocalTransform(const GltfModel& model, const std::string& json, std::size_t index) {
    const NodeEntry& node = model.nodes[index];
    if (node.transformAt[0] == NodeEntry::kKeptLocal) {
        return model.keptLocals.at(index);
    }
    if (const Trs* scanned = model.scannedTrs.Of(index); scanned != nullptr && !node.hasMatrix) {
        Trs trs = *scanned;  // LocalOf normalises the rotation in place
        return model_reading::LocalOf(trs, nullptr);
    }
    const auto read = [&](int slot, std::size_t count, double* out) {
        if (node.transformAt[slot] != 0) {
            ReadNumbersAgain(json, node.object.begin + node.transformAt[slot], count, out);
        }
    };
    Trs trs;
    double matrix[16];
    if (node.hasMatrix) {
        read(0, 16, matrix);
        return model_reading::LocalOf(trs, &matrix);
    }
    read(0, 3, trs.translation);
    read(1, 4, trs.rotation);
    read(2, 3, trs.scale);
    return model_reading::LocalOf(trs, nullptr);
}

}  // namespace driver::gltf
