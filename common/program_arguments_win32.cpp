// Windowed programs have no console to write to: the texts go in a box.
#include "message_box.h"
#include "program_arguments.h"

void GiveUsageText(const std::string& text) { ShowMessageBox("Справка", text, MessageBoxInformation); }

void GiveVersionText(const std::string& text) { ShowMessageBox("Версия", text, MessageBoxInformation); }
