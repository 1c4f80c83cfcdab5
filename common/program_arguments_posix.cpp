#include "program_arguments.h"

#include <cstdio>

void GiveUsageText(const std::string& text) { std::fputs(text.c_str(), stderr); }

void GiveVersionText(const std::string& text) { std::fputs(text.c_str(), stdout); }
