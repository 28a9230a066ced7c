// Every hook of Hooks.h is defined by the layer that provides it: the
// install sequence in installer/engine, the blocked dialog in
// installer/environment.
#include "wizard/Hooks.h"
