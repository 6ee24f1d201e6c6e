#include "core/ListFile.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Text.h"

namespace sf {

namespace {

const char* const kDatePattern = "mm/dd/yyyy hh:nn:ss";

const char* Flag(bool on)
{
    return on ? "TRUE" : "FALSE";
}

// Dates, then the four geo values of a four-field Bounds; the first failure ends the step.
void ConvertStoredValues(TRadarObj& r, const std::string& line)
{
    TDateTime* dates[3] = {&r.LastAttempt, &r.LastImage, &r.NextAttempt};
    for (int k = 0; k < 3; ++k) {
        TDateTime dt = 0;
        if (!TryParseListDateTime(GetField(line, 8 + k, '\t'), dt))
            return;
        *dates[k] = dt;
    }
    if (FieldCount(r.Bounds, ',') != 4)
        return;
    float* geo[4] = {&r.Left, &r.Top, &r.Right, &r.Bottom};
    for (int k = 0; k < 4; ++k) {
        float v = 0;
        if (!ParseFloatText(GetField(r.Bounds, k + 1, ','), v))
            return;
        *geo[k] = v;
    }
}

} // namespace

std::string ListLine(const TRadarObj& r)
{
    if (r.Radar.empty())
        return {};
    std::string line = r.Radar + "\t" + r.Product + "\t" + r.RemoteName + "\t" + r.Status + "\t" + r.Bounds + "\t";
    line += std::string(Flag(r.Accumulate)) + "\t" + Flag(r.Enabled) + "\t";
    line += FormatDateTime(kDatePattern, r.LastAttempt) + "\t" + FormatDateTime(kDatePattern, r.LastImage) + "\t" +
            FormatDateTime(kDatePattern, r.NextAttempt);
    return line;
}

std::string ListText(const DownloadList& list)
{
    std::string text;
    for (int i = 0; i < list.Count(); ++i) {
        const std::string line = ListLine(list[i]);
        if (!line.empty())
            text += line + "\r\n";
    }
    return text;
}

void LoadListText(const std::string& text, DownloadList& list, const TNaming& naming, const IClock& clock,
                  const std::function<void(const std::string&)>& report)
{
    for (const std::string& line : SplitLines(text)) {
        if (line.size() < 20) {
            if (report)
                report("Error loading Radar object");
            continue;
        }
        const std::string radar = GetField(line, 1, '\t');
        const std::string product = GetField(line, 2, '\t');
        TRadarObj* r = list.Add(radar + "\t" + product, TRadarObj::Create(clock));
        if (!r)
            continue;
        r->SetNames(radar, product, naming);
        r->Status = GetField(line, 4, '\t');
        r->Bounds = GetField(line, 5, '\t');
        r->Accumulate = GetField(line, 6, '\t').find("TRUE") != std::string::npos;
        r->Enabled = GetField(line, 7, '\t').find("TRUE") != std::string::npos;
        ConvertStoredValues(*r, line);
        // A name that cannot be a file name keeps the record out of every path.
        if (r->HasInvalidName())
            r->Status = kInvalidNameStatus;
    }
}

bool SaveList(TShared& s)
{
    const std::string path = s.ProgramDir + kListFileWriteName;
    if (s.List.Empty()) {
        if (FileExists(path))
            return DeleteFile(path);
        return true;
    }
    const std::string text = ListText(s.List);
    if (text.empty())
        return true;
    return SaveFileAtomic(path, text);
}

bool LoadList(TShared& s)
{
    const std::string path = s.ProgramDir + kListFileReadName;
    if (!FileExists(path))
        return true;
    std::string bytes;
    if (!ReadFileBytes(path, bytes))
        return false;
    LoadListText(bytes, s.List, s.Naming(), s.Clock, [&](const std::string& msg) { AppendLog(s, msg); });
    return true;
}

} // namespace sf
