// The platform's object model as the automation call layer sees it: here the
// in-process component system (objects, dispatch, variants, strings, class
// registry). The layer reaches it through this header only; on Windows the
// system's own takes its place (automation/windows/object_model.h).
#pragma once

#include "com.h"
#include "com_registry.h"

// The system's names for the layer's UTF-16 unit and a 32-bit count.
using OLECHAR = char16_t;
using ULONG = std::uint32_t;
