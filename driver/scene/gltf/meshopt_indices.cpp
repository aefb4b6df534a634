#include <array>

#include "scene/gltf/meshopt_parts.h"

// Modes TRIANGLES (a code a triangle, recent edges and vertices kept in
// two FIFOs) and INDICES (deltas from one of two baselines).
namespace driver::gltf::meshopt {

namespace {

// A FIFO of the 16 latest entries, index 0 the latest; an entry never
// written is malformed data.
template <typename Entry>
class Recent {
public:
    void Push(Entry entry) {
        entries_[pushed_ % 16] = entry;
        ++pushed_;
    }
    Entry At(unsigned index, const char* what) const {
        if (index >= pushed_ || index >= 16) {
            throw MeshoptError(std::string("a triangle reads a ") + what + " that was never given");
        }
        return entries_[(pushed_ - 1 - index) % 16];
    }

private:
    std::array<Entry, 16> entries_{};
    std::size_t pushed_ = 0;
};

using Edge = std::array<std::uint32_t, 2>;

void Put(std::string& out, std::size_t at, std::size_t stride, std::uint32_t index) {
    for (std::size_t b = 0; b < stride; ++b) {
        out[at * stride + b] = static_cast<char>(index >> (8 * b));
    }
}

struct TriangleState {
    std::uint32_t next = 0;
    std::uint32_t last = 0;
    Recent<Edge> edges;
    Recent<std::uint32_t> vertices;

    std::uint32_t Explicit(Cursor& data) {
        const std::uint32_t v = data.Varint();
        last += (v & 1) != 0 ? ~(v >> 1) : v >> 1;
        return last;
    }
    // An index of a triangle whose code starts with 0xf: `next` for 0,
    // a recent vertex for 1 to 14, an explicit index for 15 (`explicitAllowed`).
    std::uint32_t Third(unsigned z, bool explicitAllowed, Cursor& data, bool& pushed) {
        pushed = z == 0 || (z == 15 && explicitAllowed);
        if (z == 0) {
            return next++;
        }
        return z == 15 && explicitAllowed ? Explicit(data) : vertices.At(z - 1, "vertex");
    }
};

// A triangle whose code reuses an edge (its high nibble below 0xf).
Edge EdgeTriangle(std::uint8_t code, TriangleState& s, Cursor& data, std::uint32_t& c) {
    const Edge ab = s.edges.At(code >> 4, "edge");
    const unsigned low = code & 15u;
    if (low == 0) {
        c = s.next++;
    } else if (low < 0xd) {
        c = s.vertices.At(low, "vertex");
    } else if (low < 0xf) {
        c = s.last = low == 0xd ? s.last - 1 : s.last + 1;
    } else {
        c = s.Explicit(data);
    }
    if (low == 0 || low >= 0xd) {
        s.vertices.Push(c);
    }
    s.edges.Push({c, ab[1]});
    s.edges.Push({ab[0], c});
    return ab;
}

// A triangle of three indices told by `codeaux` (0xf0 to 0xfd) or in
// the data (0xfe, 0xff).
std::array<std::uint32_t, 3> FreeTriangle(std::uint8_t code, const unsigned char* codeaux, TriangleState& s,
                                          Cursor& data) {
    const bool inData = code >= 0xfe;
    const unsigned zw = inData ? data.Byte() : codeaux[code & 15u];
    if (inData && zw == 0) {
        s.next = 0;
    }
    const std::uint32_t a = code == 0xff ? s.Explicit(data) : s.next++;
    bool pushB = false, pushC = false;
    const std::uint32_t b = s.Third(zw >> 4, inData, data, pushB);
    const std::uint32_t c = s.Third(zw & 15u, inData, data, pushC);
    s.edges.Push({b, a});
    s.edges.Push({c, b});
    s.edges.Push({a, c});
    s.vertices.Push(a);
    if (pushB) {
        s.vertices.Push(b);
    }
    if (pushC) {
        s.vertices.Push(c);
    }
    return {a, b, c};
}

void CheckCodeaux(const unsigned char* codeaux) {
    for (std::size_t i = 0; i < 16; ++i) {
        const bool nibble15 = (codeaux[i] >> 4) == 15 || (codeaux[i] & 15u) == 15;
        if (nibble15 || (i >= 14 && codeaux[i] != 0)) {
            throw MeshoptError("its table of triangle codes (its last 16 bytes) is malformed");
        }
    }
}

}  // namespace

std::string DecodeTriangles(const std::string& encoded, std::size_t count, std::size_t stride) {
    const std::size_t triangles = count / 3;
    const std::uint8_t header = HeaderOf(encoded, triangles + 16, "TRIANGLES");
    if (header != 0xe1) {
        throw MeshoptError(HeaderFault(header, "0xe1 (TRIANGLES)"));
    }
    const auto* codes = reinterpret_cast<const unsigned char*>(encoded.data() + 1);
    const auto* codeaux = reinterpret_cast<const unsigned char*>(encoded.data() + encoded.size() - 16);
    CheckCodeaux(codeaux);
    Cursor data(encoded, 1 + triangles, encoded.size() - 16);
    TriangleState state;
    std::string decoded(count * stride, '\0');
    for (std::size_t t = 0; t < triangles; ++t) {
        std::array<std::uint32_t, 3> abc{};
        if (codes[t] < 0xf0) {
            const Edge ab = EdgeTriangle(codes[t], state, data, abc[2]);
            abc[0] = ab[0];
            abc[1] = ab[1];
        } else {
            abc = FreeTriangle(codes[t], codeaux, state, data);
        }
        for (std::size_t i = 0; i < 3; ++i) {
            Put(decoded, 3 * t + i, stride, abc[i]);
        }
    }
    data.CheckAllRead();
    return decoded;
}

std::string DecodeIndices(const std::string& encoded, std::size_t count, std::size_t stride) {
    const std::uint8_t header = HeaderOf(encoded, count + 4, "INDICES");  // a byte an index at least
    if (header != 0xd1) {
        throw MeshoptError(HeaderFault(header, "0xd1 (INDICES)"));
    }
    Cursor data(encoded, 1, encoded.size() - 4);
    std::uint32_t last[2] = {0, 0};
    std::string decoded(count * stride, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t v = data.Varint();
        std::uint32_t& baseline = last[v & 1];
        baseline += (v & 2) != 0 ? ~(v >> 2) : v >> 2;
        Put(decoded, i, stride, baseline);
    }
    data.CheckAllRead();
    return decoded;
}

}  // namespace driver::gltf::meshopt
