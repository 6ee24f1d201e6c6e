#include "app/CommandDialogs.h"

namespace sf {

TCommandDialogs::TCommandDialogs(IDialogs& inner) : m_inner(inner)
{
}

void TCommandDialogs::BeginCommand()
{
    if (m_depth++ == 0)
        m_errors.clear();
}

std::vector<std::string> TCommandDialogs::EndCommand()
{
    if (m_depth > 0)
        --m_depth;
    std::vector<std::string> errors;
    if (m_depth == 0)
        errors.swap(m_errors);
    return errors;
}

void TCommandDialogs::ErrorBox(const std::string& text)
{
    if (m_depth > 0)
        m_errors.push_back(text);
    m_inner.ErrorBox(text);
}

bool TCommandDialogs::AskYesNo(const std::string& text)
{
    return m_depth > 0 ? true : m_inner.AskYesNo(text);
}

std::optional<std::string> TCommandDialogs::BrowseFolder(const std::string& title, const std::string& root)
{
    return m_depth > 0 ? std::nullopt : m_inner.BrowseFolder(title, root);
}

std::optional<std::string> TCommandDialogs::ChooseFile(const std::string& title, const std::string& initialDir)
{
    return m_depth > 0 ? std::nullopt : m_inner.ChooseFile(title, initialDir);
}

void TCommandDialogs::ShellOpen(const std::string& target)
{
    m_inner.ShellOpen(target);
}

void TCommandDialogs::Beep()
{
    m_inner.Beep();
}

} // namespace sf
