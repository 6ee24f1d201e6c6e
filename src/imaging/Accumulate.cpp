#include "imaging/Accumulate.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Text.h"
#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace sf {

namespace {

constexpr int kSeriesLength = 10;

/// Path part of a listing line "yyyymmddhhnnss<TAB>path".
std::string ListedPath(const std::string& line)
{
    const size_t tab = line.find('\t');
    return tab == std::string::npos ? line : line.substr(tab + 1);
}

std::string UpToFirstDot(const std::string& name)
{
    const size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// Deletes a file whatever the case of its name on disk; true when it is gone.
bool DeleteAnyCase(const std::string& path)
{
    return DeleteFile(ResolvePath(path));
}

/// The name under which the k-th newest image is parked: t + k + ".tmp".
std::string ParkingStem(const std::string& s, bool digitRule)
{
    std::string t = s;
    if (digitRule) {
        if (s.size() >= 2) {
            long long v = 0;
            if (TryStrToInt(s.substr(s.size() - 2), v) && v >= 0)
                t.pop_back();
        }
    } else {
        while (t.size() > 2 && IsDigit(t.back()))
            t.pop_back();
    }
    return t;
}

/// The extension of the BMP variant's series: the underlay's own (lower-cased), ".bmp"
/// when it has none, so BMP data written under a ".gif" name still gets its series.
std::string BmpSeriesExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot + 1 == name.size() ? ".bmp" : LowerCase(name.substr(dot));
}

/// Drops the entry naming the file excluded (already resolved) from a listing; returns how many.
int DropExcluded(std::vector<std::string>& list, const std::string& excluded)
{
    if (excluded.empty())
        return 0;
    const auto gone = std::remove_if(list.begin(), list.end(),
        [&](const std::string& line) { return ListedPath(line) == excluded; });
    const int dropped = int(list.end() - gone);
    list.erase(gone, list.end());
    return dropped;
}

/// Adds the temporary to be named back ("stamp<TAB>name") unless it is listed already.
void AddToName(std::vector<std::string>& toName, const std::string& stamp, const std::string& name)
{
    for (const std::string& line : toName)
        if (SameText(ListedPath(line), name))
            return;
    toName.push_back(stamp + "\t" + name);
}

int32_t Shift(TShared& s, const std::string& x, bool gif, const std::string& newImage, const TShiftStep& step)
{
    const std::string dir = ExtractFilePath(x);
    std::string name = ExtractFileName(x);
    if (gif && Pos(".BMP", UpperCase(name)) > 0) {
        const size_t dot = name.rfind('.');
        name = name.substr(0, dot) + ".gif";
    }
    const std::string working = dir + name;
    // A shift cut short earlier is finished first, so every image is back under a series
    // name, the newest as the underlay, before anything is measured or listed.
    const bool unresolved = !s.Cancel && RecoverShift(dir, step) == TShiftRecovery::Unresolved;
    const int32_t size = FileSizeOf(working);
    if (size < (gif ? 250 : 10000))
        return size;
    // The listing names files as they are spelled on disk, which is what the resolved path gives.
    const std::string excluded = newImage.empty() || !FileExists(newImage) ? std::string() : ResolvePath(newImage);

    bool failed = false;
    try {
        const std::string n = gif ? LowerCase(name) : UpperCase(name);
        const std::string b = UpToFirstDot(n);
        const std::string bounds = dir + b + ".Sat";
        const std::string ext = gif ? ".gif" : BmpSeriesExtension(name);
        std::string q = SeriesPattern(b, ext);
        const bool digitRule = !b.empty() && IsDigit(b.back());

        if (s.Cancel)
            return size;
        if (unresolved)
            throw std::runtime_error("an earlier shift could not be finished");
        std::vector<std::string> list;
        const int found = AddSortedListing(dir, q, list) - DropExcluded(list, excluded);
        int trimmed = 0;
        while (list.size() > size_t(kSeriesLength)) {
            if (s.Cancel)
                return size;
            const std::string oldest = ListedPath(list.front());
            if (!SameText(oldest, working))
                DeleteAnyCase(oldest);
            list.erase(list.begin());
            ++trimmed;
        }
        int count = found - trimmed;
        // A stem ending in "_" is also listed without it; its images are still parked
        // under the full stem, so that mask names the temporaries as well.
        std::string parkedTmp;
        const size_t us = q.find("_?");
        if (us != std::string::npos) {
            parkedTmp = q.substr(0, q.find('.') + 1) + "tmp";
            q.erase(us, 1);
            count = AddSortedListing(dir, q, list) - DropExcluded(list, excluded);
        }
        const std::string qTmp = q.substr(0, q.find('.') + 1) + "tmp";
        auto namedBack = [&](const std::string& tmp) {
            return MaskMatches(qTmp, tmp) || (!parkedTmp.empty() && MaskMatches(parkedTmp, tmp));
        };

        // The whole shift is planned and recorded before the first rename: the k-th newest
        // image is parked as t + k + ".tmp" whatever number it carried, then every
        // temporary of the series mask takes its series name, newest first.
        TShiftJournal plan;
        plan.Underlay = ExtractFileName(ResolvePath(working));
        plan.Bounds = ExtractFileName(ResolvePath(bounds));
        std::vector<std::string> toName;
        if (count > 0) {
            int k = 0;
            for (auto it = list.rbegin(); it != list.rend(); ++it) {
                if (s.Cancel)
                    return size;
                ++k;
                std::string stem = UpToFirstDot(ExtractFileName(ListedPath(*it)));
                stem = gif ? LowerCase(stem) : UpperCase(stem);
                const std::string parked = ParkingStem(stem, digitRule) + std::to_string(k) + ".tmp";
                // A temporary of that name is a leftover of no recorded shift.
                if (FileExists(dir + parked))
                    DeleteAnyCase(dir + parked);
                plan.Park.push_back({ExtractFileName(ResolvePath(dir + stem + ext)), parked});
                if (namedBack(parked))
                    AddToName(toName, it->substr(0, it->find('\t')), parked);
            }
        }
        // Temporaries of the series mask already there are named back as well.
        std::vector<std::string> strays;
        AddSortedListing(dir, qTmp, strays);
        if (!parkedTmp.empty())
            AddSortedListing(dir, parkedTmp, strays);
        for (const std::string& line : strays)
            AddToName(toName, line.substr(0, line.find('\t')), ExtractFileName(ListedPath(line)));
        std::sort(toName.begin(), toName.end());
        for (auto it = toName.rbegin(); it != toName.rend(); ++it) {
            const std::string tmp = ListedPath(*it);
            const std::string stem = gif ? LowerCase(UpToFirstDot(tmp)) : UpToFirstDot(tmp);
            plan.Name.push_back({tmp, stem + ext});
        }
        plan.Leftovers.push_back(qTmp);
        if (!parkedTmp.empty())
            plan.Leftovers.push_back(parkedTmp);
        plan.Drop = {b + "10" + ext, b + "10.tmp"};
        if (s.Cancel)
            return size;
        if (!WriteShiftJournal(dir, plan))
            throw std::runtime_error("cannot write the shift record");
        if (step)
            step("record");
        // From here on the shift runs to its end: stopping halfway would leave the images
        // under temporary names until the next start.
        if (!CompleteShift(dir, plan, step))
            failed = true;
    } catch (const std::exception&) {
        failed = true;
    }
    if (failed)
        AppendLog(s, FormatDateTime("hh:nn:ss", s.Clock.LocalNow()) + " Rename Sat images error");
    return size;
}

/// Reads a 14-digit stamp "yyyymmddhhnnss"; false when malformed.
bool StampToDateTime(const std::string& stamp, TDateTime& out)
{
    if (stamp.size() != 14 || !std::all_of(stamp.begin(), stamp.end(), IsDigit))
        return false;
    auto num = [&](size_t at, size_t len) { return std::stoi(stamp.substr(at, len)); };
    TDateFields f;
    f.Year = num(0, 4);
    f.Month = num(4, 2);
    f.Day = num(6, 2);
    f.Hour = num(8, 2);
    f.Minute = num(10, 2);
    f.Second = num(12, 2);
    out = EncodeDateTime(f);
    return true;
}

} // namespace

std::string SeriesPattern(const std::string& stem, const std::string& extension)
{
    std::string q = stem + "?" + extension;
    const size_t blank = q.find(' ');
    if (blank == 2)
        q.erase(0, 3);
    std::replace(q.begin(), q.end(), ' ', '_');
    return q;
}

int AddSortedListing(const std::string& folder, const std::string& mask, std::vector<std::string>& list)
{
    const int n = ListFiles(folder, mask, list);
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return n;
}

int32_t AccumulateBmp(TShared& s, const std::string& x, const std::string& newImage, const TShiftStep& step)
{
    return Shift(s, x, false, newImage, step);
}

int32_t AccumulateGif(TShared& s, const std::string& x, const std::string& newImage, const TShiftStep& step)
{
    return Shift(s, x, true, newImage, step);
}

void DeleteStaleImages(TShared& s, const std::string& x)
{
    try {
        const std::string dir = ExtractFilePath(x);
        const std::string mask = UpToFirstDot(ExtractFileName(x)) + "*.Bmp";
        std::vector<std::string> list;
        AddSortedListing(dir, mask, list);
        const TDateTime limit = s.Clock.LocalNow() - 1.0 / 24.0;
        for (const std::string& line : list) {
            if (s.Cancel)
                return;
            TDateTime stamp = 0;
            if (!StampToDateTime(line.substr(0, line.find('\t')), stamp))
                return;
            const std::string path = ListedPath(line);
            if (stamp < limit && FileExists(path))
                DeleteAnyCase(path);
        }
    } catch (const std::exception&) {
        // Stale images are removed quietly; whatever stays is tried again next time.
    }
}

} // namespace sf
