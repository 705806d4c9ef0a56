// The document module's entry point: its classes register themselves when the module loads.
#include "com/classregistry.h"

KAVRO_DEFINE_MODULE()
