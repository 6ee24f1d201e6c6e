#include "core/ListFile.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/StoredFiles.h"
#include "core/Text.h"
#include <algorithm>
#include <sys/stat.h>

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

// Tells the user once, in the status bar and the error log.
void Say(TShared& s, const std::string& text)
{
    s.Sbar.SetPanel(0, text);
    AppendLog(s, text);
}

// The file as it was, beside it under the backup name, before a save drops its bad lines.
bool KeepListBackup(TShared& s, const std::string& path, const std::string& bytes, int dropped,
                    const std::string& first)
{
    const std::string backup = s.ProgramDir + kListBackupName;
    if (!SaveFileAtomic(backup, bytes))
        return false;
    Say(s, ExtractFileName(path) + " held " + std::to_string(dropped) + (dropped == 1 ? " line" : " lines") +
               " that could not be loaded as written (" + (dropped == 1 ? "" : "first at ") + first +
               "); the file as it was is kept as " + backup);
    return true;
}

// Last-write time in nanoseconds; -1 when the name cannot be looked at.
long long WriteTimeNs(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return -1;
    return (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

} // namespace

std::string ListFilePath(TShared& s)
{
    if (!s.Stored.ListName.empty() && PathPresent(s.ProgramDir + s.Stored.ListName))
        return s.ProgramDir + s.Stored.ListName;
    // On this file system "DownLoadList.txt" and "DownLoadList.Txt" are two files; load and
    // save must still reach one and the same.
    std::vector<TFindEntry> found = FindFiles(s.ProgramDir + kListFileReadName);
    if (found.empty())
        return s.ProgramDir + kListFileWriteName;
    std::string chosen = found.front().Name;
    long long newest = WriteTimeNs(s.ProgramDir + chosen);
    for (const TFindEntry& e : found) {
        const long long t = WriteTimeNs(s.ProgramDir + e.Name);
        if (t > newest) {
            newest = t;
            chosen = e.Name;
        }
    }
    const bool firstChoice = s.Stored.ListName.empty();
    s.Stored.ListName = chosen;
    if (found.size() > 1 && firstChoice) {
        std::string names;
        for (const TFindEntry& e : found)
            names += (names.empty() ? "" : " and ") + e.Name;
        Say(s, s.ProgramDir + " holds " + names + "; the download list uses " + chosen + ", the one modified last");
    }
    return s.ProgramDir + chosen;
}

std::string ListLine(const TRadarObj& r)
{
    if (r.Radar.empty())
        return {};
    // Whatever a field holds, the line keeps its ten fields.
    std::string line = CleanFieldText(r.Radar) + "\t" + CleanFieldText(r.Product) + "\t" +
                       CleanFieldText(r.RemoteName) + "\t" + CleanFieldText(r.Status) + "\t" +
                       CleanFieldText(r.Bounds) + "\t";
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

int LoadListText(const std::string& text, DownloadList& list, const TNaming& naming, const IClock& clock,
                 const std::function<void(const std::string&)>& report, std::string* firstDropped)
{
    int dropped = 0;
    int number = 0;
    auto drop = [&](const std::string& why) {
        if (dropped++ == 0 && firstDropped)
            *firstDropped = "line " + std::to_string(number) + ": " + why;
    };
    for (std::string line : SplitLines(text)) {
        ++number;
        // A CR inside a line is read as the blank a save writes for it, so the record in
        // memory is the one the file will hold: two lines that differ only there are the
        // same record now, not at the next load, where the second would be lost.
        std::replace(line.begin(), line.end(), '\r', ' ');
        // FieldCount gives 0 for a text without a TAB, which is still one field.
        const int fields = line.empty() ? 0 : std::max(1, FieldCount(line, '\t'));
        if (line.size() < 20) {
            if (report)
                report("Error loading Radar object");
            // A blank line loses nothing when it is not written back.
            if (!Trim(line).empty())
                drop(std::to_string(fields) + " of 10 fields");
            continue;
        }
        const std::string radar = GetField(line, 1, '\t');
        const std::string product = GetField(line, 2, '\t');
        // A line without a source is loaded but not saved; one with fields shifted loses
        // what they held; a repeated key is skipped. None comes back as it was.
        const bool whole = !radar.empty() && fields == 10;
        TRadarObj* r = list.Add(radar + "\t" + product, TRadarObj::Create(clock));
        if (radar.empty())
            drop("no radar source in the first field");
        else if (!whole)
            drop(std::to_string(fields) + " of 10 fields");
        else if (!r)
            drop("the same source and product as an earlier line");
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
    return dropped;
}

bool SaveList(TShared& s)
{
    const std::string path = ListFilePath(s);
    if (s.Stored.ListHeld && PathPresent(path)) {
        s.Sbar.SetPanel(0, HeldFileText(path));
        return false;
    }
    if (s.List.Empty()) {
        if (FileExists(path))
            return DeleteFile(path);
        return true;
    }
    const std::string text = ListText(s.List);
    if (text.empty())
        return true;
    if (!SaveFileAtomic(path, text))
        return false;
    s.Stored.ListHeld = false; // the file is the program's own now
    return true;
}

bool LoadList(TShared& s, std::string* error)
{
    const std::string path = ListFilePath(s);
    std::string bytes;
    bool found = false;
    if (!LoadStoredFile(path, bytes, found, s.Stored.ListHeld, error))
        return false;
    if (!found)
        return true;
    std::string first;
    const int dropped =
        LoadListText(bytes, s.List, s.Naming(), s.Clock, [&](const std::string& msg) { AppendLog(s, msg); }, &first);
    if (dropped > 0 && !KeepListBackup(s, path, bytes, dropped, first)) {
        // Without a copy, the next save would lose the lines for good.
        s.Stored.ListHeld = true;
        if (error)
            *error = "Unable to write to " + s.ProgramDir + kListBackupName + ": " + path +
                     " holds lines that could not be loaded and is kept as it is";
        return false;
    }
    return true;
}

} // namespace sf
