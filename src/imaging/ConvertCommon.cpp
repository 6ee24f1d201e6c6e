#include "imaging/ConvertCommon.h"
#include "imaging/Convert.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Pump.h"
#include "core/Text.h"
#include "core/layouts/Layout.h"
#include <cmath>
#include <cstdio>

namespace sf {

namespace convert {

std::string Now(const TShared& s) { return FormatDateTime("hh:nn:ss", s.Clock.LocalNow()); }

bool PumpCancelled(TShared& s)
{
    Pump();
    return s.Cancel;
}

std::string ElapsedText(const TShared& s, double startLocal)
{
    return std::string(s.IsClient() ? "Processed files in " : "Processed and transferred raw files in ")
        + SecondsText(s.Clock.LocalNow() - startLocal) + " sec at " + Now(s);
}

bool ReportFailure(TShared& s, TRadarObj& r, const std::string& raw, const std::string& what, const std::string& phase)
{
    s.FileLbl.SetCaption(phase);
    r.Status = CleanFieldText(raw + "-" + what + " " + phase); // a file name or a decoder's text
    AppendLog(s, MemoryStatusShort(s) + " " + r.Status);
    s.FileLbl.SetCaption(r.Status + " at " + Now(s));
    s.Sbar.SetPanel(0, s.FileLbl.Caption());
    return false;
}

std::string BeforeFirstDot(const std::string& name)
{
    const size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ChangeExt(const std::string& name, const std::string& ext)
{
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
}

bool RawFilesUsable(TShared& s, TRadarObj& r, const std::string& raw, const std::string& world)
{
    for (const std::string& needed : {raw, world}) {
        if (!FileExists(needed)) {
            const std::string text = "File " + needed + " does not exist, cannot convert";
            s.FileLbl.SetCaption(text);
            r.Status = "Error " + text;
            AppendLog(s, text);
            return false;
        }
    }
    const int32_t rawSize = FileSizeOf(raw);
    if (rawSize >= 0 && rawSize < 250) {
        s.FileLbl.SetCaption(raw + "= " + std::to_string(rawSize) + " bytes, file too small");
        r.Status = "Error - " + s.FileLbl.Caption();
        AppendLog(s, r.Status);
        DeleteFile(ResolvePath(raw));
        return false;
    }
    return true;
}

bool ReportDeliveryCancelled(TShared& s, size_t targets, const std::string& underlay)
{
    if (targets >= 2)
        s.FileLbl.SetCaption("Transferred " + std::to_string(targets) + " " + underlay + " at " + Now(s));
    else if (targets == 1)
        s.FileLbl.SetCaption("Saved 1 " + underlay + " at " + Now(s));
    s.Sbar.SetPanel(0, s.FileLbl.Caption());
    return PumpCancelled(s);
}

} // namespace convert

using namespace convert;

namespace {

std::string WorkDir(const TShared& s, const std::string& p)
{
    return s.IsClient() ? ExtractFilePath(p) : s.ProgramDir;
}

std::string BoundsFileName(const std::string& u)
{
    const size_t dot = u.find('.');
    return (dot == std::string::npos ? u + "." : u.substr(0, dot + 1)) + "Sat";
}

} // namespace

TConvertNames SiteNames(const TShared& s, const TRadarObj& r, const std::string& p)
{
    TConvertNames n;
    n.Work = WorkDir(s, p);
    const ISourceLayout& layout = ServingLayout(s, r);
    n.Raw = n.Work + layout.ImageFileName(r);
    n.World = n.Work + layout.WorldFileName(r);
    n.Legend = n.Work + r.LegendName;
    n.Underlay = LowerCase(ChangeExt(ExtractFileName(p), s.SaveGifChk.Checked ? ".gif" : ".bmp"));
    n.Stem = BeforeFirstDot(n.Underlay);
    n.BoundsName = BoundsFileName(n.Underlay);
    return n;
}

TConvertNames MosaicNames(const TShared& s, const TRadarObj& r, const std::string& p)
{
    TConvertNames n;
    n.Work = WorkDir(s, p);
    n.Raw = n.Work + r.RemoteName + ".png";
    n.World = n.Work + r.RemoteName + ".wld";
    n.Underlay = ExtractFileName(p);
    // A mosaic is BMP data whatever the output mode. Under native output its name ends in
    // ".gif"; where the map shows this mosaic under its ".bmp" name, that name is kept so
    // the redraw and the series follow the file the map server actually shows.
    const std::string asBmp = ChangeExt(n.Underlay, ".bmp");
    if (!SameText(asBmp, n.Underlay) && SameText(asBmp, s.UnderlayName))
        n.Underlay = asBmp;
    n.Stem = BeforeFirstDot(n.Underlay);
    n.BoundsName = BoundsFileName(n.Underlay);
    return n;
}

bool RawIsUnderlay(const TShared& s, const TRadarObj& r, const std::string& p)
{
    if (s.QuorUnderlayPath.empty())
        return false;
    const TConvertNames n = SiteNames(s, r, p);
    return SameText(n.Raw, s.QuorUnderlayPath + n.Underlay);
}

std::string CaptionText(const std::string& stem, const TRadarObj& r)
{
    return std::string(kVersionText) + " - Radar image " + stem + " from " + r.Radar + " "
        + FormatDateTime("mm/dd/yyyy hh:nn", r.LastImage) + " UTC"
        + (r.ServedBy ? std::string(" via ") + LayoutName(*r.ServedBy) : std::string());
}

const ISourceLayout& ServingLayout(const TShared& s, const TRadarObj& r)
{
    return LayoutOf(r.ServedBy ? *r.ServedBy : s.Layout);
}

TConverter::TConverter(TShared& s) : m_s(s), m_siteFont("Arial", 8), m_mosaicFont("Arial", 10) {}

} // namespace sf
