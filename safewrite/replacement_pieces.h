#pragma once

// Replacement's own: what Stage(pieces) stages, whole in every file that
// defines a Replacement's members.
#include <string_view>
#include <vector>

#include "replacement.h"

namespace safewrite {

// Pieces given all at once, as content.
class Replacement::Pieces final : public Content {
public:
    explicit Pieces(const std::vector<std::string_view>& pieces) : pieces_(pieces) {}
    Error EachPiece(const std::function<Error(std::string_view)>& put) const override {
        for (const std::string_view piece : pieces_) {
            if (const Error error = put(piece); error != Error::None) {
                return error;
            }
        }
        return Error::None;
    }

private:
    std::vector<std::string_view> pieces_;
};

}  // namespace safewrite
