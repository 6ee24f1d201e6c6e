// Pictures of the window for the documentation: when STORMFETCH_SCREENSHOT names a
// file stem, the window saves itself after the first finished cycle at its minimum
// size (<stem>-min.png) and at 800 x 600 (<stem>-800x600.png), then closes.
#pragma once
#include <QString>

namespace sf {

class TMainWindow;
class TMain;

/// Arms the pictures when the environment asks for them; does nothing otherwise.
void ArmScreenshots(TMainWindow& window, TMain& main);
/// Saves the window at the given size into path; false when it cannot be written.
bool SaveWindowPicture(TMainWindow& window, int width, int height, const QString& path);

} // namespace sf
