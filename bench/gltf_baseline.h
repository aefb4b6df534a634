#pragma once

#include <string>

// The baseline of the glTF names benchmarks: the least a program on a fast
// JSON parser (RapidJSON) does for the names jobs. It parses the file in
// place, walks the default scene in pre-order with a stack of its own, and
// either writes the names one a line (the scene's name first, as the root's)
// or gives the nodes the names of a names file's lines and writes the whole
// document. It checks nothing that a well-formed file would have, and
// writes its files directly; false when it could not do the job.
namespace baseline {

bool SaveNames(const std::string& scenePath, const std::string& namesPath);
bool LoadNames(const std::string& scenePath, const std::string& namesPath, const std::string& outputPath);

}  // namespace baseline
