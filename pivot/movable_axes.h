#pragma once

#include "node_matrix.h"

// What the host needs of a node's transform before the pivot tool moves,
// turns or scales it.
namespace tarvel {

// Why the host cannot move, turn and scale a node whose transform is `m`,
// phrased to follow "its" (as in "its axes are coplanar"), or null when
// it can: every row finite, and axis rows that span space with a volume
// that single precision can invert without moving the node's object.
// Measured at double precision, so rows of any finite, non-zero length count.
const char* AxesFault(const NodeMatrix& m);

// The determinant of the three axis rows at double precision, which no
// single-precision row can overflow: negative for a mirrored node.
double AxesDeterminant(const NodeMatrix& m);

}  // namespace tarvel
