#pragma once

#include <string>

#include "node_matrix.h"
#include "scene/project/scene_text.h"
#include "standin/standin_scene.h"

namespace driver {

// The values of a node's members in a scene file, each read from the token
// after its key; a value of the wrong form fails with what the form is.

// "name": a string without NUL characters.
std::string ReadName(SceneText& text);
// "nameHex": the name's bytes, two hexadecimal digits a byte, for a name
// that is not UTF-8.
std::string ReadHexName(SceneText& text);
// "transform" and "objectOffset": four rows of three numbers, each one
// that single precision holds as a finite value.
NodeMatrix ReadMatrix(SceneText& text, const char* key);
// "object": {"superClass": number, "objectTest": true or false}.
void ReadObject(SceneText& text, standin::StandinObject& object);

// True for the identity exactly, without negative zeros, so that leaving
// it out of a file loses nothing.
bool IsIdentity(const NodeMatrix& matrix);

}  // namespace driver
