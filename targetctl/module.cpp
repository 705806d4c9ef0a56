// The target control's module: its class registers itself when the module loads.
#include "com/classregistry.h"

KAVRO_DEFINE_MODULE()
