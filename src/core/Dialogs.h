// Everything that asks the person at the screen something, or makes a sound.
// The window, the console view and the tests each provide one.
#pragma once
#include <optional>
#include <string>

namespace sf {

class IDialogs {
public:
    virtual ~IDialogs() = default;
    /// Error box with an OK button. "\r" in text is a line break.
    virtual void ErrorBox(const std::string& text) = 0;
    /// Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    /// Folder browser rooted at root; empty optional when cancelled.
    virtual std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root) = 0;
    /// File chooser; empty optional when cancelled.
    virtual std::optional<std::string> ChooseFile(const std::string& title, const std::string& initialDir) = 0;
    /// Picture chooser with a filter ("Name|*.a;*.b|...") and a default extension; empty
    /// optional when cancelled. A dialog without its own picture chooser uses ChooseFile.
    virtual std::optional<std::string> OpenPicture(const std::string& title, const std::string& initialDir,
                                                   const std::string& filter, const std::string& defaultExt)
    {
        (void)filter;
        (void)defaultExt;
        return ChooseFile(title, initialDir);
    }
    /// Opens a URL or file with the desktop's default program.
    virtual void ShellOpen(const std::string& target) = 0;
    /// The default beep.
    virtual void Beep() = 0;
};

} // namespace sf
