// The texts pic-prog prints: what `info` shows, mismatches, summary lines.
#pragma once

#include "chip_image.h"
#include "chip_jobs.h"
#include "chip_table.h"

#include <string>

// "1 слово", "3 слова", "5 слов".
std::string CountOf(int n, const char* one, const char* few, const char* many);

// "память программ — 8 слов, память данных — 4 байта, идентификаторы — 4 слова, слово конфигурации"
std::string HeldSummary(const HeldCounts& held);

// "память программ, адрес 0x0012: нужно 0x2805, прочитано 0x2804"
std::string MismatchLine(const ChipInfo& chip, const Mismatch& mismatch);

// The first few mismatches, one per line, and how many more there are.
std::string MismatchList(const ChipInfo& chip, const std::vector<Mismatch>& mismatches);

// Device, revision, identifiers and the configuration word decoded with the
// fields of chip (when known).
std::string InfoText(const ChipInfo* chip, const ConfigArea& area);

// "12,3 с"
std::string Seconds(double seconds);
