#include "message_box.h"

#include <cstdio>

void PrintMessageBox(const std::string& caption, const std::string& text)
{
    KeepRunningWithClosedOutput();
    std::printf("%s\n%s\n\n", caption.c_str(), text.c_str());
    std::fflush(stdout);
}
