#include "text/nearest_word.h"

#include <algorithm>
#include <cstring>

namespace driver {

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

const char* NearestWord(std::string_view typed, const std::vector<const char*>& words) {
    constexpr std::size_t kMostEdits = 2;
    const char* nearest = nullptr;
    std::size_t best = kMostEdits + 1;
    for (const char* word : words) {
        const std::size_t distance = EditDistance(typed, word);
        if (distance < best && distance < std::strlen(word)) {
            best = distance;
            nearest = word;
        }
    }
    return nearest;
}

}  // namespace driver
