#include "interface.h"
#include "standin/standin_interface.h"

// The plug-ins reach the host through this export; it answers the stand-in
// interface that is current, or null while no host runs.
Interface* GetCOREInterface() { return standin::StandinInterface::Current(); }
