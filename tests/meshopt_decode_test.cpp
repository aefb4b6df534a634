// The meshopt decoder against meshoptimizer's own encoder and decoder:
// random inputs of every mode and filter decode to the library's bytes,
// and damaged streams are refused.
#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "scene/gltf/meshopt_decode.h"

namespace {

using driver::gltf::DecodeMeshopt;
using driver::gltf::MeshoptError;
using driver::gltf::MeshoptFilter;
using driver::gltf::MeshoptLayout;
using driver::gltf::MeshoptMode;

struct Encoded {
    std::string bytes;     // compressed
    std::string expected;  // the library's decoding of them
    MeshoptLayout layout;
};

// Elements that vary as `noise` says: 0 all alike, 1 smooth, 2 coarse,
// 3 random, so that every width of deltas appears.
std::string Elements(std::mt19937& random, std::size_t count, std::size_t stride, int noise) {
    std::string bytes(count * stride, '\0');
    const unsigned spread[] = {0, 2, 30, 256};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto base = i < stride ? static_cast<unsigned>(random()) : static_cast<unsigned char>(bytes[i - stride]);
        bytes[i] = static_cast<char>(base + (spread[noise] ? static_cast<unsigned>(random()) % spread[noise] : 0));
    }
    return bytes;
}

Encoded EncodeAttributes(const std::string& elements, std::size_t count, std::size_t stride, MeshoptFilter filter) {
    std::string bytes(meshopt_encodeVertexBufferBound(count, stride), '\0');
    bytes.resize(meshopt_encodeVertexBuffer(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size(), elements.data(),
                                            count, stride));
    std::string expected(count * stride, '\0');
    EXPECT_EQ(meshopt_decodeVertexBuffer(&expected[0], count, stride,
                                         reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
              0);
    if (filter == MeshoptFilter::Octahedral) {
        meshopt_decodeFilterOct(&expected[0], count, stride);
    } else if (filter == MeshoptFilter::Quaternion) {
        meshopt_decodeFilterQuat(&expected[0], count, stride);
    } else if (filter == MeshoptFilter::Exponential) {
        meshopt_decodeFilterExp(&expected[0], count, stride);
    }
    return {bytes, expected, {MeshoptMode::Attributes, filter, count, stride, false}};
}

// `count` elements filtered by `filter` from random unit vectors,
// quaternions or floats, `bits` of precision.
Encoded Filtered(std::mt19937& random, std::size_t count, std::size_t stride, MeshoptFilter filter, int bits) {
    std::normal_distribution<float> normal;
    const std::size_t width = filter == MeshoptFilter::Exponential ? stride / 4 : 4;
    std::vector<float> values(count * width);
    for (std::size_t e = 0; e < count; ++e) {
        float length = 0;
        for (std::size_t i = 0; i < width; ++i) {
            values[e * width + i] = normal(random) * (filter == MeshoptFilter::Exponential ? 1000.0f : 1.0f);
            length += values[e * width + i] * values[e * width + i];
        }
        for (std::size_t i = 0; filter != MeshoptFilter::Exponential && i < width; ++i) {
            values[e * width + i] /= std::sqrt(length);
        }
    }
    std::string elements(count * stride, '\0');
    if (filter == MeshoptFilter::Octahedral) {
        meshopt_encodeFilterOct(&elements[0], count, stride, bits, values.data());
    } else if (filter == MeshoptFilter::Quaternion) {
        meshopt_encodeFilterQuat(&elements[0], count, stride, bits, values.data());
    } else {
        meshopt_encodeFilterExp(&elements[0], count, stride, bits, values.data());
    }
    return EncodeAttributes(elements, count, stride, filter);
}

// A triangle list of a strip of `triangles` over a grid, its triangles
// shuffled in runs (explicit and recent indices both), or an index
// sequence of it.
Encoded EncodeIndices(std::mt19937& random, std::size_t triangles, std::size_t stride, bool sequence) {
    std::vector<unsigned> indices;
    for (std::size_t t = 0; t < triangles; ++t) {
        const auto row = static_cast<unsigned>(t / 2), corner = static_cast<unsigned>(t % 2);
        indices.insert(indices.end(), {row, row + 1 + corner, row + 2});
    }
    for (std::size_t t = 0; t + 8 < triangles; t += 1 + random() % 16) {
        std::swap_ranges(indices.begin() + 3 * t, indices.begin() + 3 * t + 3,
                         indices.begin() + 3 * (t + random() % (triangles - t)));
    }
    const std::size_t count = indices.size();
    meshopt_encodeIndexVersion(1);  // the extension's (0xe1, 0xd1)
    std::string bytes(sequence ? meshopt_encodeIndexSequenceBound(count, triangles + 2)
                               : meshopt_encodeIndexBufferBound(count, triangles + 2),
                      '\0');
    auto* out = reinterpret_cast<unsigned char*>(&bytes[0]);
    bytes.resize(sequence ? meshopt_encodeIndexSequence(out, bytes.size(), indices.data(), count)
                          : meshopt_encodeIndexBuffer(out, bytes.size(), indices.data(), count));
    std::string expected(count * stride, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_EQ(sequence ? meshopt_decodeIndexSequence(&expected[0], count, stride, in, bytes.size())
                       : meshopt_decodeIndexBuffer(&expected[0], count, stride, in, bytes.size()),
              0);
    return {bytes,
            expected,
            {sequence ? MeshoptMode::Indices : MeshoptMode::Triangles, MeshoptFilter::None, count, stride, false}};
}

int Bits(std::mt19937& random, std::size_t least, std::size_t most) {
    return static_cast<int>(least + random() % (most - least + 1));
}

// Every mode and filter, in a table of random cases.
std::vector<Encoded> Cases() {
    std::mt19937 random(29);
    std::vector<Encoded> cases;
    for (const std::size_t count : {0, 1, 15, 16, 17, 255, 257, 1000, 2100}) {
        for (std::size_t stride = 4; stride <= 64; stride += 4 + 8 * (stride / 16)) {
            const std::string elements = Elements(random, count, stride, static_cast<int>(random() % 4));
            cases.push_back(EncodeAttributes(elements, count, stride, MeshoptFilter::None));
        }
        for (const std::size_t stride : {4, 8}) {
            cases.push_back(Filtered(random, count, stride, MeshoptFilter::Octahedral, Bits(random, 4, 2 * stride)));
            cases.push_back(Filtered(random, count, 4 * stride, MeshoptFilter::Exponential, Bits(random, 1, 24)));
        }
        cases.push_back(Filtered(random, count, 8, MeshoptFilter::Quaternion, Bits(random, 4, 16)));
        cases.push_back(EncodeIndices(random, count, count % 2 ? 2 : 4, false));
        cases.push_back(EncodeIndices(random, count, count % 2 ? 4 : 2, true));
    }
    return cases;
}

std::string Describe(const Encoded& c) {
    return "mode " + std::to_string(static_cast<int>(c.layout.mode)) + " filter " +
           std::to_string(static_cast<int>(c.layout.filter)) + ", " + std::to_string(c.layout.count) + " x " +
           std::to_string(c.layout.byteStride);
}

// The filters are exact to one unit of their integers; EXPONENTIAL and
// the codecs exactly.
TEST(MeshoptDecode, DecodesAsTheLibraryDoes) {
    for (const Encoded& c : Cases()) {
        SCOPED_TRACE(Describe(c));
        const std::string decoded = DecodeMeshopt(c.bytes, c.layout);
        ASSERT_EQ(decoded.size(), c.expected.size());
        const bool toOneUnit = c.layout.filter == MeshoptFilter::Octahedral ||
                               c.layout.filter == MeshoptFilter::Quaternion;
        if (!toOneUnit) {
            EXPECT_EQ(decoded, c.expected);
            continue;
        }
        const bool wide = c.layout.byteStride == 8;
        for (std::size_t i = 0; i < decoded.size(); i += wide ? 2 : 1) {
            const auto at = [&](const std::string& s) {
                return wide ? static_cast<std::int16_t>(static_cast<unsigned char>(s[i]) |
                                                        static_cast<unsigned char>(s[i + 1]) << 8)
                            : static_cast<signed char>(s[i]);
            };
            ASSERT_LE(std::abs(at(decoded) - at(c.expected)), 1) << "component " << i;
        }
    }
}

// Damaged streams: each cut short, its first byte wrong, a count that its
// bytes cannot hold, bytes changed at random; refused as malformed (or,
// for a change, decoded as the library decodes it), never read past.
TEST(MeshoptDecode, RefusesDamagedStreams) {
    std::mt19937 random(31);
    for (const Encoded& c : Cases()) {
        SCOPED_TRACE(Describe(c));
        for (std::size_t cut = 0; cut < c.bytes.size(); cut += 1 + cut / 4) {
            EXPECT_THROW(DecodeMeshopt(c.bytes.substr(0, cut), c.layout), MeshoptError) << "cut to " << cut;
        }
        std::string header = c.bytes;
        header[0] = static_cast<char>(header[0] ^ (1 << random() % 8));
        EXPECT_THROW(DecodeMeshopt(header, c.layout), MeshoptError);
        MeshoptLayout more = c.layout;
        more.count += c.layout.mode == MeshoptMode::Triangles ? 3 * c.bytes.size() : 16 * c.bytes.size();
        EXPECT_THROW(DecodeMeshopt(c.bytes, more), MeshoptError);
        more.count = std::uint64_t{1} << 40;
        EXPECT_THROW(DecodeMeshopt(c.bytes, more), MeshoptError) << "past the bound, nothing held";
        for (int change = 0; change < 4 && c.layout.filter == MeshoptFilter::None; ++change) {
            std::string damaged = c.bytes;
            damaged[1 + random() % (damaged.size() - 1)] = static_cast<char>(random());
            std::string library(c.expected.size(), '\0');
            const auto* in = reinterpret_cast<const unsigned char*>(damaged.data());
            const auto n = static_cast<std::size_t>(c.layout.count),
                       stride = static_cast<std::size_t>(c.layout.byteStride);
            const int status = c.layout.mode == MeshoptMode::Attributes
                                   ? meshopt_decodeVertexBuffer(&library[0], n, stride, in, damaged.size())
                               : c.layout.mode == MeshoptMode::Triangles
                                   ? meshopt_decodeIndexBuffer(&library[0], n, stride, in, damaged.size())
                                   : meshopt_decodeIndexSequence(&library[0], n, stride, in, damaged.size());
            try {
                const std::string decoded = DecodeMeshopt(damaged, c.layout);
                EXPECT_TRUE(status != 0 || decoded == library) << "change " << change;
            } catch (const MeshoptError&) {
            }
        }
    }
}

// What the extension requires of a layout, and of the view it fills.
TEST(MeshoptDecode, RefusesLayoutsTheExtensionForbids) {
    const struct {
        const char *mode, *filter;
        std::uint64_t count, stride, viewLength;
        bool khr;
    } bad[] = {
        {"ATTRIBUTE", "", 4, 4, 16, false},
        {"ATTRIBUTES", "COLOR", 4, 4, 16, false},
        {"ATTRIBUTES", "", 4, 6, 24, false},
        {"ATTRIBUTES", "", 1, 260, 260, false},
        {"ATTRIBUTES", "", 4, 4, 20, false},
        {"ATTRIBUTES", "QUATERNION", 4, 4, 16, false},
        {"ATTRIBUTES", "OCTAHEDRAL", 2, 12, 24, false},
        {"TRIANGLES", "", 4, 4, 16, false},
        {"INDICES", "", 4, 8, 32, false},
        {"INDICES", "EXPONENTIAL", 4, 4, 16, true},
        {"ATTRIBUTES", "", std::uint64_t{1} << 29, 4, std::uint64_t{1} << 31, false},
    };
    for (const auto& c : bad) {
        EXPECT_THROW(driver::gltf::MeshoptLayoutOf(c.mode, c.filter, c.count, c.stride, c.viewLength, c.khr),
                     MeshoptError)
            << c.mode << " " << c.filter << " " << c.count << " x " << c.stride;
    }
    EXPECT_EQ(driver::gltf::MeshoptLayoutOf("ATTRIBUTES", "COLOR", 4, 8, 32, true).filter, MeshoptFilter::Color);
    EXPECT_EQ(driver::gltf::MeshoptLayoutOf("TRIANGLES", "NONE", 6, 2, 12, false).mode, MeshoptMode::Triangles);
}

}  // namespace

namespace {

// 16 deltas packed `bits` each (as version 1 packs them), a delta that
// does not fit after them whole.
std::string PackedGroup(const std::uint8_t* deltas, unsigned bits) {
    std::string group(16 * bits / 8, '\0'), extra;
    for (std::size_t i = 0; bits != 0 && i < 16; ++i) {
        const unsigned sentinel = (1u << bits) - 1, code = bits == 8 || deltas[i] < sentinel ? deltas[i] : sentinel;
        if (bits != 8 && code == sentinel) {
            extra += static_cast<char>(deltas[i]);
        }
        const unsigned per = 8 / bits, slot = static_cast<unsigned>(i % per);
        const unsigned shift = bits == 1 ? slot : 8 - bits * (slot + 1);
        group[i / per] = static_cast<char>(group[i / per] | code << shift);
    }
    return group + extra;
}

// The deltas of one byte position of a block, by a random control mode
// and random header bits: `control` gets the mode.
std::string PackedDeltas(std::mt19937& random, const std::vector<std::uint8_t>& deltas, unsigned& control) {
    const auto zero = [](std::uint8_t d) { return d == 0; };
    control = static_cast<unsigned>(std::all_of(deltas.begin(), deltas.end(), zero) && random() % 2 ? 2
                                    : random() % 2                                                  ? 3
                                                                                                    : random() % 2);
    if (control >= 2) {
        return control == 3 ? std::string(deltas.begin(), deltas.end()) : "";
    }
    const std::size_t groups = deltas.size() / 16;
    std::string headers((groups + 3) / 4, '\0'), packed;
    for (std::size_t g = 0; g < groups; ++g) {
        const bool allZero = std::all_of(&deltas[g * 16], &deltas[g * 16] + 16, zero);
        const auto header = static_cast<unsigned>(control == 0 && !allZero ? 1 + random() % 3 : random() % 4);
        headers[g / 4] = static_cast<char>(headers[g / 4] | header << (2 * (g % 4)));
        const unsigned bits =
            (control == 0 ? std::array<unsigned, 4>{0, 1, 2, 4} : std::array<unsigned, 4>{1, 2, 4, 8})[header];
        packed += PackedGroup(&deltas[g * 16], bits);
    }
    return headers + packed;
}

// The delta of 4 bytes `v` from `p` by channel mode `channel`: byte or
// 2-byte zigzag differences, or XOR rotated right.
std::uint32_t ChannelDelta(std::uint32_t v, std::uint32_t p, std::uint8_t channel) {
    const unsigned mode = channel & 15u, r = channel >> 4u;
    if (mode == 2) {
        return ((v ^ p) >> r) | ((v ^ p) << ((32 - r) & 31));
    }
    std::uint32_t d = 0;
    for (unsigned w = mode == 0 ? 8 : 16, b = 0; b < 32; b += w) {
        const std::uint32_t mask = (1u << w) - 1, delta = ((v >> b) - (p >> b)) & mask;
        d |= (((delta << 1) ^ ((delta >> (w - 1)) & 1 ? mask : 0)) & mask) << b;
    }
    return d;
}

// KHR_meshopt_compression's version 1 of ATTRIBUTES, which the library
// here cannot make: `elements` encoded with random channel modes (byte,
// 2-byte and rotated XOR deltas), control modes and header bits, each a
// valid choice however it compresses.
std::string EncodeVersion1(std::mt19937& random, const std::string& elements, std::size_t count, std::size_t stride) {
    std::vector<std::uint8_t> channels(stride / 4);
    for (auto& channel : channels) {
        const auto mode = static_cast<unsigned>(random() % 3);
        channel = static_cast<std::uint8_t>(mode == 2 ? 2 | (random() % 16) << 4 : mode);
    }
    const auto u32 = [&](std::size_t e, std::size_t c) {
        std::uint32_t v = 0;
        for (unsigned b = 0; b < 4; ++b) {
            v |= std::uint32_t{static_cast<unsigned char>(elements[e * stride + c + b])} << (8 * b);
        }
        return v;
    };
    std::string out(1, '\xa1');
    const std::size_t most = std::min((8192 / stride) & ~std::size_t{15}, std::size_t{256});
    for (std::size_t start = 0; start < count; start += most) {
        const std::size_t n = std::min(most, count - start), groups = (n + 15) / 16;
        std::vector<std::vector<std::uint8_t>> deltas(stride, std::vector<std::uint8_t>(groups * 16));
        for (std::size_t c = 0; c < stride; c += 4) {
            for (std::size_t i = 0, e = start; i < n; ++i, ++e) {
                const std::uint32_t d = ChannelDelta(u32(e, c), e == 0 ? 0 : u32(e - 1, c), channels[c / 4]);
                for (unsigned b = 0; b < 4; ++b) {
                    deltas[c + b][i] = static_cast<std::uint8_t>(d >> (8 * b));
                }
            }
        }
        std::string controls(stride / 4, '\0'), data;
        for (std::size_t k = 0; k < stride; ++k) {
            unsigned control = 0;
            data += PackedDeltas(random, deltas[k], control);
            controls[k / 4] = static_cast<char>(controls[k / 4] | control << (2 * (k % 4)));
        }
        out += controls + data;
    }
    const std::size_t tail = stride + stride / 4;
    out += std::string(tail < 24 ? 24 - tail : 0, '\0') + std::string(stride, '\0');
    return out.append(channels.begin(), channels.end());
}

TEST(MeshoptDecode, DecodesVersion1Attributes) {
    std::mt19937 random(37);
    for (const std::size_t count : {1, 16, 100, 513}) {
        for (const std::size_t stride : {4, 8, 12, 20, 64}) {
            const std::string elements = Elements(random, count, stride, static_cast<int>(random() % 4));
            const std::string encoded = EncodeVersion1(random, elements, count, stride);
            const MeshoptLayout layout{MeshoptMode::Attributes, MeshoptFilter::None, count, stride, true};
            EXPECT_EQ(DecodeMeshopt(encoded, layout), elements) << count << " x " << stride;
            EXPECT_THROW(DecodeMeshopt(encoded, {MeshoptMode::Attributes, MeshoptFilter::None, count, stride, false}),
                         MeshoptError)
                << "EXT_meshopt_compression has no version 1";
            EXPECT_THROW(DecodeMeshopt(encoded.substr(0, encoded.size() - 1), layout), MeshoptError);
        }
    }
}

// COLOR: a grey of any precision K decodes to its grey, its alpha widened
// by its last bit.
TEST(MeshoptDecode, DecodesGreysOfTheColorFilter) {
    std::mt19937 random(41);
    for (const std::size_t stride : {4, 8}) {
        const auto k = static_cast<unsigned>(2 + random() % (stride == 4 ? 7 : 15));
        const unsigned most = stride == 4 ? 255 : 65535;
        std::string elements;
        std::vector<unsigned> greys, alphas;
        for (int e = 0; e < 40; ++e) {
            greys.push_back(static_cast<unsigned>(random() % (1u << k)));
            alphas.push_back(static_cast<unsigned>(random() % (1u << (k - 1))));
            for (const unsigned part : {greys.back(), 0u, 0u, alphas.back() | 1u << (k - 1)}) {
                for (std::size_t b = 0; b < stride / 4; ++b) {
                    elements += static_cast<char>(part >> (8 * b));
                }
            }
        }
        std::string encoded(meshopt_encodeVertexBufferBound(40, stride), '\0');
        encoded.resize(meshopt_encodeVertexBuffer(reinterpret_cast<unsigned char*>(&encoded[0]), encoded.size(),
                                                  elements.data(), 40, stride));
        const std::string decoded =
            DecodeMeshopt(encoded, {MeshoptMode::Attributes, MeshoptFilter::Color, 40, stride, true});
        for (std::size_t e = 0; e < 40; ++e) {
            const auto at = [&](std::size_t i) {
                unsigned v = 0;
                for (std::size_t b = 0; b < stride / 4; ++b) {
                    v |= static_cast<unsigned>(static_cast<unsigned char>(decoded[e * stride + i * stride / 4 + b]))
                         << (8 * b);
                }
                return v;
            };
            const double scale = most / double((1u << k) - 1);
            const unsigned alpha = alphas[e] << 1 | (alphas[e] & 1);
            for (std::size_t i = 0; i < 3; ++i) {
                EXPECT_NEAR(at(i), greys[e] * scale, 0.51) << "k " << k;
            }
            EXPECT_NEAR(at(3), alpha * scale, 0.51);
        }
    }
}

}  // namespace
