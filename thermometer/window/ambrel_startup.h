// Ambrel's start-up, up to the point where the event loop takes over.
#pragma once

#include "ambrel_services.h"

#include <memory>

class AmbrelWindow;
class QFont;

// Binds the HID library, builds the window, starts speech and fills the voice
// list, looks for the thermometer once, shows the window and starts the
// presence timer and the reader thread. Needs a QApplication. Without any
// speech engine it shows "Голосовой движок не доступен!." and returns null.
std::unique_ptr<AmbrelWindow> StartAmbrel(const AmbrelServices& services);

// The font of the temperature: "Arial" 22 pt bold (Liberation Sans on Linux).
QFont TemperatureFont();
