// The catalog extension's entry point: its folder class and its junction register themselves
// when the module loads.
#include "com/classregistry.h"

KAVRO_DEFINE_MODULE()
