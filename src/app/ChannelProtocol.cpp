#include "app/ChannelProtocol.h"

namespace sf {

namespace {

constexpr const char* kRequestHead = "Skyvane 1";

bool Carriable(const std::string& field)
{
    for (char c : field)
        if (c == '\t' || c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::string Flat(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i; // a CR LF pair is one line break
            out += " / ";
        } else if (c != '\0') {
            out += c;
        }
    }
    return out;
}

} // namespace

bool FormatRequest(const TChannelRequest& request, std::string& line)
{
    line = kRequestHead;
    for (const std::string* f : {&request.Folder, &request.Verb}) {
        if (!Carriable(*f))
            return false;
        line += '\t' + *f;
    }
    for (const std::string& a : request.Args) {
        if (!Carriable(a))
            return false;
        line += '\t' + a;
    }
    return true;
}

bool ParseRequest(const std::string& line, TChannelRequest& request, std::string& error)
{
    request = {};
    if (line.size() > kMaxRequestLine) {
        error = "command too long";
        return false;
    }
    for (char c : line) {
        if (c == '\r' || c == '\n' || c == '\0') {
            error = "control character in the command";
            return false;
        }
    }
    std::vector<std::string> fields = SplitTabs(line);
    if (fields[0] != kRequestHead) {
        error = "not a Stormfetch command";
        return false;
    }
    if (fields.size() < 3 || fields[1].empty() || fields[2].empty()) {
        error = "command without a folder or a verb";
        return false;
    }
    // A handful of arguments at most; more is not a command any caller builds.
    if (fields.size() > 3 + 8) {
        error = "too many arguments";
        return false;
    }
    request.Folder = fields[1];
    request.Verb = fields[2];
    request.Args.assign(fields.begin() + 3, fields.end());
    return true;
}

std::string FormatReplyLine(const TReplyLine& reply)
{
    switch (reply.Kind) {
    case TReplyLine::Out: return "+ " + Flat(reply.Text);
    case TReplyLine::Err: return "! " + Flat(reply.Text);
    case TReplyLine::Final: break;
    }
    return "= " + std::to_string(reply.Status) + " " + Flat(reply.Text);
}

bool ParseReplyLine(const std::string& line, TReplyLine& reply)
{
    reply = {};
    if (line.size() < 2 || line[1] != ' ')
        return false;
    if (line[0] == '+' || line[0] == '!') {
        reply.Kind = line[0] == '+' ? TReplyLine::Out : TReplyLine::Err;
        reply.Text = line.substr(2);
        return true;
    }
    if (line[0] != '=')
        return false;
    size_t i = 2;
    int status = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && i < 6)
        status = status * 10 + (line[i++] - '0');
    if (i == 2 || (i < line.size() && line[i] != ' '))
        return false;
    reply.Kind = TReplyLine::Final;
    reply.Status = status;
    reply.Text = i < line.size() ? line.substr(i + 1) : std::string();
    return true;
}

} // namespace sf
