// What Ambrel says when given arguments it does not take.
#pragma once

#include "program_arguments.h"

inline constexpr ProgramUsage kAmbrelUsage{
    "Ambrel", "показывает и произносит температуру USB-термометра (HID 0xAAAA:0xEF04)",
    "не хранятся; голос и громкость выбираются в окне"};
