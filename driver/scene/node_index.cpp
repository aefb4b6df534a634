#include "scene/node_index.h"

#include "text/number_text.h"

namespace driver {

bool ReadNodeIndex(std::string_view text, std::size_t& index) { return ReadInteger(text, index); }

}  // namespace driver
