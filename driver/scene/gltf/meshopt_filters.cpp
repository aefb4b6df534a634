#include <algorithm>
#include <cmath>
#include <cstring>

#include "scene/gltf/meshopt_parts.h"

// The filters, undone on the decoded elements in place: the extension
// defines each in single precision, rounding halfway away from zero.
namespace driver::gltf::meshopt {

namespace {

// Component `i` of an element of 8- or 16-bit components, as a signed or
// an unsigned integer.
int Signed(const char* element, std::size_t i, bool wide) {
    if (!wide) {
        return static_cast<signed char>(element[i]);
    }
    const auto lo = static_cast<unsigned char>(element[2 * i]), hi = static_cast<unsigned char>(element[2 * i + 1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
}

unsigned Unsigned(const char* element, std::size_t i, bool wide) {
    return static_cast<unsigned>(Signed(element, i, wide)) & (wide ? 0xffffu : 0xffu);
}

void Store(char* element, std::size_t i, bool wide, int value) {
    if (!wide) {
        element[i] = static_cast<char>(value);
        return;
    }
    element[2 * i] = static_cast<char>(value);
    element[2 * i + 1] = static_cast<char>(value >> 8);
}

// round(v) within [lo, hi]; a number that is none (from malformed data) is 0.
int Rounded(float v, int lo, int hi) {
    if (!(v == v)) {
        return 0;
    }
    return static_cast<int>(std::round(std::clamp(v, static_cast<float>(lo), static_cast<float>(hi))));
}

void Octahedral(char* element, bool wide) {
    const float one = static_cast<float>(Signed(element, 2, wide));
    float x = static_cast<float>(Signed(element, 0, wide)) / one;
    float y = static_cast<float>(Signed(element, 1, wide)) / one;
    float z = 1.0f - std::fabs(x) - std::fabs(y);
    const float t = std::min(z, 0.0f);
    x -= std::copysign(t, x);
    y -= std::copysign(t, y);
    const float length = std::sqrt(x * x + y * y + z * z);
    const int most = wide ? 32767 : 127;
    const float scaled[3] = {x / length * static_cast<float>(most), y / length * static_cast<float>(most),
                             z / length * static_cast<float>(most)};
    for (std::size_t i = 0; i < 3; ++i) {
        Store(element, i, wide, Rounded(scaled[i], -most, most));
    }
}

void Quaternion(char* element) {
    const float range = 1.0f / std::sqrt(2.0f);
    const int last = Signed(element, 3, true);
    const float one = static_cast<float>(last | 3);
    float q[3];
    for (std::size_t i = 0; i < 3; ++i) {
        q[i] = static_cast<float>(Signed(element, i, true)) / one * range;
    }
    const float w = std::sqrt(std::max(0.0f, 1.0f - q[0] * q[0] - q[1] * q[1] - q[2] * q[2]));
    const std::size_t largest = static_cast<std::size_t>(last & 3);
    for (std::size_t i = 0; i < 3; ++i) {
        Store(element, (largest + 1 + i) % 4, true, Rounded(q[i] * 32767.0f, -32767, 32767));
    }
    Store(element, largest, true, Rounded(w * 32767.0f, -32767, 32767));
}

void Exponential(char* element) {
    std::uint32_t bits = 0;
    for (unsigned b = 0; b < 4; ++b) {
        bits |= std::uint32_t{static_cast<unsigned char>(element[b])} << (8 * b);
    }
    const int exponent = static_cast<int>(bits >> 24) - (bits >> 31 != 0 ? 256 : 0);
    const std::int32_t mantissa =
        static_cast<std::int32_t>(bits & 0x7fffffu) - static_cast<std::int32_t>(bits & 0x800000u);
    const float value = std::ldexp(static_cast<float>(mantissa), exponent);
    std::uint32_t out = 0;
    std::memcpy(&out, &value, 4);
    for (unsigned b = 0; b < 4; ++b) {
        element[b] = static_cast<char>(out >> (8 * b));
    }
}

void Color(char* element, bool wide) {
    const unsigned alpha = Unsigned(element, 3, wide);
    int msb = -1;
    for (int bit = 0; bit < 16; ++bit) {
        msb = (alpha >> bit) & 1u ? bit : msb;
    }
    const int scale = (1 << (msb + 1)) - 1;
    const int y = static_cast<int>(Unsigned(element, 0, wide)), co = Signed(element, 1, wide),
              cg = Signed(element, 2, wide);
    int a = static_cast<int>(alpha) & (scale >> 1);
    a = (a << 1) | (a & 1);
    const int most = wide ? 65535 : 255;
    const float ss = static_cast<float>(most) / static_cast<float>(scale);
    const int rgba[4] = {y + co - cg, y + cg, y - co - cg, a};
    for (std::size_t i = 0; i < 4; ++i) {
        Store(element, i, wide, Rounded(static_cast<float>(rgba[i]) * ss, 0, most));
    }
}

}  // namespace

void Unfilter(MeshoptFilter filter, std::string& bytes, std::size_t stride) {
    const bool wide = stride == 8;
    for (std::size_t at = 0; at + stride <= bytes.size(); at += stride) {
        char* element = &bytes[at];
        switch (filter) {
            case MeshoptFilter::None:
                return;
            case MeshoptFilter::Octahedral:
                Octahedral(element, wide);
                break;
            case MeshoptFilter::Quaternion:
                Quaternion(element);
                break;
            case MeshoptFilter::Exponential:
                for (std::size_t i = 0; i < stride; i += 4) {
                    Exponential(element + i);
                }
                break;
            case MeshoptFilter::Color:
                Color(element, wide);
                break;
        }
    }
}

}  // namespace driver::gltf::meshopt
