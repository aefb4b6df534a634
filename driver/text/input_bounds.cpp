#include "text/input_bounds.h"

#include "text/refusal.h"

namespace driver {

std::string PastBound(InputBound bound, const std::string& source) {
    const InputBoundRow& row = kInputBounds[static_cast<std::size_t>(bound)];
    return (source.empty() ? std::string(row.input) : source) + ": more than " + std::to_string(row.limit) + " " +
           row.unit + ", the bound of " + row.input;
}

void RefusePastBound(InputBound bound, const std::string& source) {
    throw CodedError(RefusalCode::TooLarge, PastBound(bound, source));
}

}  // namespace driver
