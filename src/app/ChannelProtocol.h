// The line protocol of the command channel between a start with a command and the
// running copy: one request line, then reply lines, the last of them carrying the
// exit status. Pure text functions, no I/O.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace sf {

/// The longest request line taken (without its line end); longer ones are refused.
inline constexpr std::size_t kMaxRequestLine = 4096;
/// The line a second start without a command sends (kept as it always was).
inline constexpr const char* kNoticeLine = "Skyvane";

/// A command for the running copy: the sender's program folder, the verb and its arguments.
struct TChannelRequest {
    std::string Folder;
    std::string Verb;
    std::vector<std::string> Args;
};

/// "Skyvane 1<TAB>folder<TAB>verb[<TAB>arg]..." (no line end); false when a field holds
/// a TAB, a line break or a NUL, which the line cannot carry.
bool FormatRequest(const TChannelRequest& request, std::string& line);
/// Parses one request line (without its line end); false with the reason when malformed.
bool ParseRequest(const std::string& line, TChannelRequest& request, std::string& error);

/// One reply line: output for standard output, a message for standard error, or the final status.
struct TReplyLine {
    enum TKind { Out, Err, Final } Kind = Out;
    int Status = 0;     ///< Final only
    std::string Text;
};
/// "+ text", "! text" or "= status text" (line breaks in text become " / ").
std::string FormatReplyLine(const TReplyLine& reply);
/// Parses a reply line; false when it is none of the three forms.
bool ParseReplyLine(const std::string& line, TReplyLine& reply);

} // namespace sf
