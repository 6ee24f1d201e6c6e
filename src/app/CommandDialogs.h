// Dialogs while a command from the command line or the command channel runs: the
// command itself is the user's answer, so its confirmation questions are taken as
// Yes, and its error boxes become the command's reply (they are still shown).
#pragma once
#include "core/Dialogs.h"
#include <string>
#include <vector>

namespace sf {

class TCommandDialogs final : public IDialogs {
public:
    /// inner: the dialogs of the window or the console, used outside commands.
    explicit TCommandDialogs(IDialogs& inner);
    /// From now until EndCommand: questions answered Yes, error texts kept.
    void BeginCommand();
    /// Ends the command; returns the error texts shown while it ran.
    std::vector<std::string> EndCommand();
    bool InCommand() const { return m_depth > 0; }

    void ErrorBox(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root) override;
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& initialDir) override;
    void ShellOpen(const std::string& target) override;
    void Beep() override;

private:
    IDialogs& m_inner;
    int m_depth = 0;
    std::vector<std::string> m_errors;
};

} // namespace sf
