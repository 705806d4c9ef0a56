// The device module's entry point: the control registers itself when the module loads.
#include "com/classregistry.h"

KAVRO_DEFINE_MODULE()
