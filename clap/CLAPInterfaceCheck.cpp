// Compiles the interface header alone: it must stand on its own, and its static_asserts
// check the layouts of the target this tree builds for.
#include "CLAPInterface.h"
