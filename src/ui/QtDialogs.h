// The dialogs of the window: message boxes, the folder and file choosers, the
// desktop's "open" and the beep.
#pragma once
#include "core/Dialogs.h"
#include <QPointer>
#include <QWidget>

namespace sf {

/// "\r" (and "\r\n") line breaks of the program's texts as "\n".
QString DialogText(const std::string& text);

class TQtDialogs final : public IDialogs {
public:
    /// Boxes are owned by parent (the main window) once it is set.
    void SetParent(QWidget* parent) { m_parent = parent; }
    /// Error box with an OK button.
    void ErrorBox(const std::string& text) override;
    /// Question with Yes and No; No is the default.
    bool AskYesNo(const std::string& text) override;
    /// The folder browser with title, starting at root (the home folder when empty).
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root) override;
    /// A file chooser; "Delete underlay images" gets the underlay filter and the default extension bmp.
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& initialDir) override;
    /// Hands a URL or a file to the desktop; a failure is not reported.
    void ShellOpen(const std::string& target) override;
    void Beep() override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace sf
