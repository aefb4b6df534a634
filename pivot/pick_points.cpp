#include "pivot_utility.h"

// Placeholder: the two-click pivot edit is built in its own change.
bool PivotUtility::PointPicked(Point3, SceneNode*) { return true; }
void PivotUtility::PickModeEntered() {}
void PivotUtility::PickModeLeft() {}
