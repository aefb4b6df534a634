#include "cli/option_values.h"

#include <unordered_set>

#include "cli/invocation.h"
#include "scene/node_index.h"
#include "text/name_text.h"
#include "text/number_text.h"

namespace driver {

namespace {

// The text without the spaces and tabs around it, as a list pasted from
// elsewhere has them after its commas ("-0.5, -10, 0").
std::string WithoutSpaces(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The items of a comma-separated list, spaces around them left out; none
// may be empty.
std::vector<std::string> Items(const std::string& value, const std::string& option) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(',', start);
        items.push_back(
            WithoutSpaces(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (items.back().empty()) {
            throw UsageError(option + ": " + QuotedExcerpt(value) + " has an empty item");
        }
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

}  // namespace

std::vector<std::size_t> ReadSelection(const std::string& value, const std::string& option) {
    std::vector<std::size_t> indices;
    std::unordered_set<std::size_t> seen;
    for (const std::string& item : Items(value, option)) {
        std::size_t index = 0;
        if (!ReadNodeIndex(item, index)) {
            throw UsageError(option + ": " + QuotedExcerpt(item) + " is not a node index");
        }
        if (index == 0) {
            throw UsageError(option + ": " + kRootNotSelectable);
        }
        if (!seen.insert(index).second) {
            throw UsageError(option + ": node " + item + " is selected twice");
        }
        indices.push_back(index);
    }
    return indices;
}

Point3 ReadPoint(const std::string& value, const std::string& option) {
    const std::vector<std::string> items = Items(value, option);
    if (items.size() != 3) {
        throw UsageError(option + ": " + QuotedExcerpt(value) + " is not a point x,y,z");
    }
    Point3 point;
    for (int i = 0; i < 3; ++i) {
        const std::string& item = items[static_cast<std::size_t>(i)];
        const NumberProblem problem = ReadNumber(item, point[i]);
        if (problem != NumberProblem::None) {
            throw UsageError(option + ": " + NumberProblemText(item, problem));
        }
    }
    return point;
}

int ReadPort(const std::string& value, const std::string& option) {
    if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(value) > 65535) {
        throw UsageError(option + ": " + QuotedExcerpt(value) + " is not a port number (0 to 65535)");
    }
    return std::stoi(value);
}

}  // namespace driver
