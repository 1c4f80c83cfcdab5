// The component system under the automation layer on Linux: the in-process
// stand-in (com.h, com_registry.h).
#pragma once

#include "com.h"
#include "com_registry.h"

using OLECHAR = char16_t;
using ULONG = std::uint32_t;
