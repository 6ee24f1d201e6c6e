#include "app/ConsoleView.h"
#include "core/DateTime.h"
#include "core/Shared.h"
#include "net/Fetch.h"

namespace sf {

std::string OneLine(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += " / ";
        } else if (c == '\n') {
            out += " / ";
        } else {
            out += c;
        }
    }
    return out;
}

bool IsConsoleControl(const std::string& control)
{
    return control == "Sbar" || control == "FileLbl" || control == "RidgeLbl" || control == "StateLbl"
        || control == "ShpLbl" || control == "LoopLbl";
}

std::string ConsoleLine(TDateTime localNow, const std::string& control, const std::string& text)
{
    return FormatDateTime("hh:nn:ss", localNow) + " " + control + ": " + OneLine(text);
}

TConsoleView::TConsoleView(TViewHub& hub, const IClock& clock, std::ostream& out) : m_clock(clock), m_out(out)
{
    // The hub may outlive the view (the main object winds its parts down after the view
    // is gone), so the listener checks that the view still exists.
    std::shared_ptr<bool> alive = m_alive;
    hub.Listeners.push_back([this, alive](const std::string& control, const std::string& text) {
        if (*alive)
            Changed(control, text);
    });
}

TConsoleView::~TConsoleView()
{
    *m_alive = false;
}

TLineKind ConsoleLineKind(const std::string& control, const std::string& text)
{
    if (text.rfind("Error", 0) == 0)
        return TLineKind::Error;
    if (control == "RidgeLbl" && (text.rfind("Finished processing", 0) == 0 || text.rfind("No files processed", 0) == 0))
        return TLineKind::Summary;
    if (control == "ShpLbl" && text.find(" Files downloaded/") != std::string::npos)
        return TLineKind::Summary;
    if (control == "RidgeLbl" && text.rfind("Receiving ", 0) == 0)
        return TLineKind::Detail;
    if (control == "StateLbl") {
        for (int state = 0; state < 16; ++state)
            if (text == StateText(state) && text != "State unknown")
                return TLineKind::Detail;
    }
    return TLineKind::Normal;
}

void TConsoleView::SetLevel(TOutputLevel level, std::ostream* err)
{
    m_level = level;
    m_err = err;
}

void TConsoleView::Note(const std::string& text)
{
    if (m_level == TOutputLevel::Quiet)
        return;
    m_out << FormatDateTime("hh:nn:ss", m_clock.LocalNow()) << " " << OneLine(text) << std::endl;
}

void TConsoleView::Error(const std::string& text)
{
    (m_err ? *m_err : m_out) << FormatDateTime("hh:nn:ss", m_clock.LocalNow()) << " " << OneLine(text) << std::endl;
}

void TConsoleView::Summary(const std::string& text)
{
    m_out << FormatDateTime("hh:nn:ss", m_clock.LocalNow()) << " " << OneLine(text) << std::endl;
}

void TConsoleView::Changed(const std::string& control, const std::string& text)
{
    if (control == "Log") {
        // The error log's messages go to the error stream at every level; the program's own
        // start, mode and shutdown lines (they name the version) are no errors.
        const bool state = text.find(kVersionText) != std::string::npos;
        (m_err && !state ? *m_err : m_out) << ConsoleLine(m_clock.LocalNow(), "Log", text) << std::endl;
        return;
    }
    if (!IsConsoleControl(control))
        return;
    const TLineKind kind = ConsoleLineKind(control, text);
    if ((kind == TLineKind::Detail && m_level != TOutputLevel::Verbose)
        || (kind == TLineKind::Normal && m_level == TOutputLevel::Quiet))
        return;
    const TDateTime now = m_clock.LocalNow();
    if (control == "RidgeLbl") {
        const bool progress = text.rfind("Receiving ", 0) == 0;
        const std::string stamp = FormatDateTime("hh:nn:ss", now);
        if (progress && m_progressShown && stamp == m_progressStamp)
            return;
        m_progressShown = progress;
        m_progressStamp = stamp;
    }
    std::ostream& to = kind == TLineKind::Error && m_err ? *m_err : m_out;
    to << ConsoleLine(now, control, text) << std::endl;
}

THeadlessDialogs::THeadlessDialogs(std::ostream& out, std::ostream& err, bool outIsTerminal)
    : m_out(out), m_err(err), m_terminal(outIsTerminal)
{
}

void THeadlessDialogs::ErrorBox(const std::string& text)
{
    m_err << "stormfetch: " << OneLine(text) << std::endl;
}

bool THeadlessDialogs::AskYesNo(const std::string& text)
{
    m_err << "stormfetch: " << OneLine(text) << " -> No" << std::endl;
    return false;
}

std::optional<std::string> THeadlessDialogs::BrowseFolder(const std::string&, const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> THeadlessDialogs::ChooseFile(const std::string&, const std::string&)
{
    return std::nullopt;
}

std::optional<std::string> THeadlessDialogs::OpenPicture(const std::string&, const std::string&, const std::string&,
                                                         const std::string&)
{
    return std::nullopt;
}

void THeadlessDialogs::ShellOpen(const std::string& target)
{
    m_err << "stormfetch: open " << target << std::endl;
}

void THeadlessDialogs::Beep()
{
    if (m_terminal)
        m_out << '\a' << std::flush;
}

} // namespace sf
