#include "session/pattern_bounds.h"

#include <algorithm>
#include <cstdint>

#include "session/node_path.h"
#include "text/input_bounds.h"
#include "text/name_text.h"

namespace driver {

namespace {

void CheckPatternBytes(const std::string& pattern, const Origin& origin) {
    if (pattern.size() > BoundOf(InputBound::PatternBytes)) {
        RefusePastBound(InputBound::PatternBytes, origin.Text() + ": " + QuotedExcerpt(pattern));
    }
}

}  // namespace

void CheckNameBounds(const std::vector<std::string>& patterns, const Origin& origin) {
    std::uint64_t wildcards = 0;
    for (const std::string& pattern : patterns) {
        CheckPatternBytes(pattern, origin);
        if (pattern.find_first_of("*?") != std::string::npos && ++wildcards > BoundOf(InputBound::WildcardNames)) {
            RefusePastBound(InputBound::WildcardNames, origin.Text());
        }
    }
}

void CheckPathBounds(const std::vector<std::string>& paths, const Origin& origin) {
    for (const std::string& path : paths) {
        CheckPatternBytes(path, origin);
        const std::vector<std::string> steps = PathSteps(path);
        if (steps.size() > BoundOf(InputBound::PathSteps)) {
            RefusePastBound(InputBound::PathSteps, origin.Text() + ": " + QuotedExcerpt(path));
        }
        if (static_cast<std::uint64_t>(std::count(steps.begin(), steps.end(), "**")) >
            BoundOf(InputBound::AnyDepthSteps)) {
            RefusePastBound(InputBound::AnyDepthSteps, origin.Text() + ": " + QuotedExcerpt(path));
        }
    }
}

}  // namespace driver
