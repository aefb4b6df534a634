#include "names_utility.h"

// Placeholder: the names file is built in its own change.
void NamesUtility::SaveNames(std::string) {}
void NamesUtility::LoadNames(std::string) {}
void NamesUtility::CollectNames(SceneNode*, std::vector<std::string>&) {}
bool NamesUtility::ApplyNames(SceneNode*, const std::vector<std::string>&, std::uint32_t&) { return false; }
