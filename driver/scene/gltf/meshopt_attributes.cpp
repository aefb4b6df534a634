#include <algorithm>
#include <vector>

#include "scene/gltf/meshopt_parts.h"

// Mode ATTRIBUTES: blocks of elements, each byte position's deltas in
// groups of 16, the first element's deltas from the baseline element in
// the tail.
namespace driver::gltf::meshopt {

namespace {

constexpr std::size_t kGroup = 16;

// How the deltas of one byte position of a block are stored: in version 0
// each group's header bits pick 0, 2, 4 or 8 bits a delta; in version 1
// the block's control bits pick {0, 1, 2, 4} or {1, 2, 4, 8}, or no
// deltas (all zero), or literal bytes.
enum class Control { Version0, Narrow, Wide, Zeros, Literal };

std::size_t BlockElements(std::size_t stride) { return std::min((8192 / stride) & ~std::size_t{15}, std::size_t{256}); }

std::size_t Groups(std::size_t elements) { return (elements + kGroup - 1) / kGroup; }

unsigned BitsOf(Control control, unsigned header) {
    static const unsigned version0[] = {0, 2, 4, 8}, narrow[] = {0, 1, 2, 4}, wide[] = {1, 2, 4, 8};
    return control == Control::Version0 ? version0[header] : control == Control::Narrow ? narrow[header] : wide[header];
}

// The 16 deltas of one group, `bits` each, a delta of all ones standing
// for a whole byte that follows the packed ones.
void ReadGroup(Cursor& in, unsigned bits, std::uint8_t* deltas) {
    if (bits == 0) {
        std::fill(deltas, deltas + kGroup, std::uint8_t{0});
        return;
    }
    const unsigned char* packed = in.Take(kGroup * bits / 8);
    if (bits == 8) {
        std::copy(packed, packed + kGroup, deltas);
        return;
    }
    const unsigned sentinel = (1u << bits) - 1;
    const unsigned perByte = 8 / bits;
    for (std::size_t i = 0; i < kGroup; ++i) {
        const unsigned slot = static_cast<unsigned>(i % perByte);
        // 1-bit deltas run from the low bit up, 2- and 4-bit ones from the high bit down.
        const unsigned shift = bits == 1 ? slot : 8 - bits * (slot + 1);
        const unsigned delta = (packed[i / perByte] >> shift) & sentinel;
        deltas[i] = static_cast<std::uint8_t>(delta == sentinel ? in.Byte() : delta);
    }
}

// The deltas of one byte position for `groups` groups.
void ReadByteDeltas(Cursor& in, Control control, std::size_t groups, std::uint8_t* deltas) {
    if (control == Control::Zeros) {
        std::fill(deltas, deltas + groups * kGroup, std::uint8_t{0});
        return;
    }
    if (control == Control::Literal) {
        const unsigned char* literal = in.Take(groups * kGroup);
        std::copy(literal, literal + groups * kGroup, deltas);
        return;
    }
    const unsigned char* headers = in.Take((groups + 3) / 4);
    for (std::size_t g = 0; g < groups; ++g) {
        const unsigned header = (headers[g / 4] >> (2 * (g % 4))) & 3u;
        ReadGroup(in, BitsOf(control, header), deltas + g * kGroup);
    }
}

std::uint32_t Unzigzag(std::uint32_t v) { return (v & 1) != 0 ? ~(v >> 1) : v >> 1; }

std::uint32_t Rotate(std::uint32_t v, unsigned r) { return (v << r) | (v >> ((32 - r) & 31)); }

// One block's elements from their deltas (`deltas`: by byte position,
// `lane` apart), each from the one before it (`last`), by the channel
// mode of each four bytes (`channels`: none in version 0).
void ApplyDeltas(const std::uint8_t* deltas, std::size_t lane, std::size_t elements, const unsigned char* channels,
                 std::size_t stride, std::uint8_t* last, char* out) {
    for (std::size_t c = 0; c < stride; c += 4) {
        const unsigned mode = channels != nullptr ? channels[c / 4] & 15u : 0;
        const unsigned rotation = channels != nullptr ? channels[c / 4] >> 4 : 0;
        for (std::size_t i = 0; i < elements; ++i) {
            std::uint32_t delta = 0, previous = 0;
            for (unsigned b = 0; b < 4; ++b) {
                delta |= std::uint32_t{deltas[(c + b) * lane + i]} << (8 * b);
                previous |= std::uint32_t{last[c + b]} << (8 * b);
            }
            std::uint32_t value = 0;
            if (mode == 0) {
                for (unsigned b = 0; b < 32; b += 8) {
                    value |= ((previous >> b) + Unzigzag((delta >> b) & 0xff)) % 256 << b;
                }
            } else if (mode == 1) {
                for (unsigned b = 0; b < 32; b += 16) {
                    value |= ((previous >> b) + Unzigzag((delta >> b) & 0xffff)) % 65536 << b;
                }
            } else {
                value = previous ^ Rotate(delta, rotation);
            }
            for (unsigned b = 0; b < 4; ++b) {
                last[c + b] = static_cast<std::uint8_t>(value >> (8 * b));
                out[i * stride + c + b] = static_cast<char>(last[c + b]);
            }
        }
    }
}

// Version 1's channel modes: 0 and 1 with no rotation, or 2 (XOR).
void CheckChannels(const unsigned char* channels, std::size_t stride) {
    for (std::size_t c = 0; c < stride / 4; ++c) {
        const unsigned mode = channels[c] & 15u;
        if (mode > 2 || (mode < 2 && channels[c] >> 4 != 0)) {
            throw MeshoptError("the mode of its channel " + std::to_string(c) + " is none of its modes");
        }
    }
}

// The fewest bytes that the blocks of `count` elements take: the header
// bits (version 0) or the control bytes (version 1) of each.
std::size_t FewestBlockBytes(std::size_t count, std::size_t stride, bool version1) {
    const std::size_t most = BlockElements(stride);
    const auto bytesOf = [&](std::size_t elements) {
        return elements == 0 ? 0 : version1 ? stride / 4 : stride * ((Groups(elements) + 3) / 4);
    };
    return count / most * bytesOf(most) + bytesOf(count % most);
}

}  // namespace

std::string DecodeAttributes(const std::string& encoded, std::size_t count, std::size_t stride, bool khr) {
    const std::uint8_t header = HeaderOf(encoded, 0, "ATTRIBUTES");
    const bool version1 = header == 0xa1 && khr;
    if (header != 0xa0 && !version1) {
        throw MeshoptError(HeaderFault(header, khr ? "0xa0 or 0xa1 (ATTRIBUTES)" : "0xa0 (ATTRIBUTES)"));
    }
    const std::size_t tail = stride + (version1 ? stride / 4 : 0);
    const std::size_t tailBlock = std::max(tail, std::size_t{version1 ? 24u : 32u});
    if (encoded.size() - 1 < tailBlock + FewestBlockBytes(count, stride, version1)) {
        throw MeshoptError("its " + std::to_string(encoded.size()) + " bytes are too few for " + std::to_string(count) +
                           " elements of " + std::to_string(stride) + " bytes");
    }
    const auto* tailBytes = reinterpret_cast<const unsigned char*>(encoded.data() + encoded.size() - tail);
    std::vector<std::uint8_t> last(tailBytes, tailBytes + stride);
    const unsigned char* channels = version1 ? tailBytes + stride : nullptr;
    if (version1) {
        CheckChannels(channels, stride);
    }
    Cursor in(encoded, 1, encoded.size() - tailBlock);
    std::string decoded(count * stride, '\0');
    const std::size_t most = BlockElements(stride);
    std::vector<std::uint8_t> deltas(Groups(most) * kGroup * stride);
    for (std::size_t start = 0; start < count; start += most) {
        const std::size_t elements = std::min(most, count - start);
        const std::size_t groups = Groups(elements);
        const unsigned char* controls = version1 ? in.Take(stride / 4) : nullptr;
        for (std::size_t k = 0; k < stride; ++k) {
            static const Control byControl[] = {Control::Narrow, Control::Wide, Control::Zeros, Control::Literal};
            const Control control = version1 ? byControl[(controls[k / 4] >> (2 * (k % 4))) & 3u] : Control::Version0;
            ReadByteDeltas(in, control, groups, deltas.data() + k * groups * kGroup);
        }
        ApplyDeltas(deltas.data(), groups * kGroup, elements, channels, stride, last.data(), &decoded[start * stride]);
    }
    in.CheckAllRead();
    return decoded;
}

}  // namespace driver::gltf::meshopt
