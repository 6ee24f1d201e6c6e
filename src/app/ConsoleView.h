// The view of a program without a window: every change of the status panel and of
// the progress labels becomes one time-stamped line a person or the journal can read,
// and the questions a window would ask are answered without a person.
#pragma once
#include "app/CommandLine.h"
#include "core/Clock.h"
#include "core/Controls.h"
#include "core/Dialogs.h"
#include <memory>
#include <ostream>
#include <string>

namespace sf {

/// "hh:nn:ss <control>: <text>" for one change, with each "\r" shown as " / " so one
/// message stays one line. Control names of the status panel are given as "Sbar".
std::string ConsoleLine(TDateTime localNow, const std::string& control, const std::string& text);
/// True for the controls the console shows: Sbar (panel 0), FileLbl, RidgeLbl, StateLbl, ShpLbl, LoopLbl.
bool IsConsoleControl(const std::string& control);

/// What a console line is, for the output levels: Quiet prints errors and summaries,
/// Normal everything but details, Verbose everything.
enum class TLineKind { Error, Summary, Normal, Detail };
/// Errors: texts beginning "Error". Summaries: the cycle's "Finished processing"/"No files
/// processed" and the shapefile run's count. Details: the connection states of a transfer
/// on StateLbl and the byte-count progress on RidgeLbl.
TLineKind ConsoleLineKind(const std::string& control, const std::string& text);

/// Prints the shown controls' changes to out (errors, and the error log's messages announced
/// as "Log", to the error stream when one is set), stamped with the clock's local time.
/// The byte-count progress of a running transfer ("Receiving <url> <n> b" on RidgeLbl,
/// a new text for every data block) is printed at most once per stamped second; the line that
/// ends the transfer always follows, so the journal keeps one line per second of
/// transfer rather than one per block.
class TConsoleView {
public:
    TConsoleView(TViewHub& hub, const IClock& clock, std::ostream& out);
    /// Stops printing: a hub that outlives the view no longer reaches it.
    ~TConsoleView();
    TConsoleView(const TConsoleView&) = delete;
    TConsoleView& operator=(const TConsoleView&) = delete;
    /// Writes a free line (start-up notes, the demo's folders) in the same layout.
    void Note(const std::string& text);
    /// Output level, and where errors go (nullptr: out, as before).
    void SetLevel(TOutputLevel level, std::ostream* err);
    /// Writes an error line (stamped, to the error stream) at every level.
    void Error(const std::string& text);
    /// Writes a summary line (also shown with --quiet).
    void Summary(const std::string& text);

private:
    void Changed(const std::string& control, const std::string& text);
    const IClock& m_clock;
    std::ostream& m_out;
    std::ostream* m_err = nullptr;
    TOutputLevel m_level = TOutputLevel::Normal;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_progressShown = false;   ///< the last RidgeLbl line printed was a progress line
    std::string m_progressStamp;    ///< its "hh:nn:ss" stamp
};

/// Dialogs without a person: error boxes to err, every Yes/No answered No, no folder
/// or file chosen, shell opens only noted, the beep a BEL when out is a terminal.
class THeadlessDialogs final : public IDialogs {
public:
    THeadlessDialogs(std::ostream& out, std::ostream& err, bool outIsTerminal);
    void ErrorBox(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root) override;
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& initialDir) override;
    std::optional<std::string> OpenPicture(const std::string& title, const std::string& initialDir,
                                           const std::string& filter, const std::string& defaultExt) override;
    void ShellOpen(const std::string& target) override;
    void Beep() override;

private:
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_terminal;
};

/// Replaces each CR (and a CR LF pair) by " / " and each other line break by " / ".
std::string OneLine(const std::string& text);

} // namespace sf
