// The window front end the program's entry hands to the run: a widget application,
// the Qt dialogs and the main window over the main object.
#pragma once
#include "app/FrontEnd.h"

namespace sf {

/// The front end with the desktop's notification area as Qt reports it.
TFrontEnd WindowFrontEnd();

} // namespace sf
