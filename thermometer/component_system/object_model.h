// The platform's object model as the automation call layer sees it: here the
// in-process component system (objects, dispatch, variants, strings, class
// registry). The layer reaches it through this header only.
#pragma once

#include "com.h"
#include "com_registry.h"
