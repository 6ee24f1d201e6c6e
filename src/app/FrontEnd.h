// What the program's entry gives the run when it can show a window: the application
// object, the dialogs and the window itself, all made by a layer above app/ (the
// window library), so that app/ never needs a display or a widget.
#pragma once
#include "core/Dialogs.h"
#include <QCoreApplication>
#include <functional>
#include <memory>

namespace sf {

class TMain;

/// The window over the main object, as the run sees it.
class IWindowView {
public:
    virtual ~IWindowView() = default;
    /// After the first-show steps: shows the window (or leaves it minimized as asked).
    virtual void FirstShown() = 0;
};

struct TFrontEnd {
    /// The application object a window needs (argc must outlive it).
    std::function<std::unique_ptr<QCoreApplication>(int& argc, char** argv)> MakeApplication;
    std::function<std::unique_ptr<IDialogs>()> MakeDialogs;
    /// Builds the window over main after Wire() and before Create().
    std::function<std::unique_ptr<IWindowView>(TMain& main)> MakeWindow;
};

/// True when a window can open: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set.
bool WindowPossible();

} // namespace sf
