#include "imaging/BmpWriter.h"
#include "imaging/Convert.h"
#include "imaging/ConvertCommon.h"
#include "imaging/Accumulate.h"
#include "imaging/GifCodec.h"
#include "imaging/PngSite.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Text.h"
#include "core/layouts/Layout.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace sf {

using namespace convert;

const TBitmap8& TConverter::LegendRendering(const std::string& path)
{
    const std::string resolved = ResolvePath(path);
    struct stat st {};
    if (::stat(resolved.c_str(), &st) != 0)
        throw TFailure("cannot read " + path + ": " + std::strerror(errno));
    const int64_t writeTime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (m_legend.Path == resolved && m_legend.Size == int64_t(st.st_size) && m_legend.WriteTimeNs == writeTime)
        return m_legend.Render;
    m_legend = TLegendCache{};
    TGifImage gif;
    std::string error;
    // A RIDGE legend is a GIF; a WMS legend graphic is a PNG.
    if (!LoadSiteImage(resolved, gif, error))
        throw TFailure(error);
    m_legend.Render = RenderFirstFrame(gif);
    m_legend.Path = resolved;
    m_legend.Size = int64_t(st.st_size);
    m_legend.WriteTimeNs = writeTime;
    return m_legend.Render;
}

bool TConverter::ConvertSiteImage(TRadarObj& r, const std::string& p)
{
    TShared& s = m_s;
    s.Sbar.SetPanel(1, "Convert");
    s.Sbar.SetPanel(0, "Converting " + p);
    const double start = s.Clock.LocalNow();
    const TConvertNames n = SiteNames(s, r, p);
    const bool native = s.SaveGifChk.Checked;

    if (!RawFilesUsable(s, r, n.Raw, n.World))
        return false;
    s.FileLbl.SetCaption("Converting " + n.Raw + " " + Now(s));
    s.Sbar.SetPanel(0, s.FileLbl.Caption());
    if (PumpCancelled(s))
        return false;

    // The working images live only for this conversion: leaving the scope clears them.
    TGifImage site;
    TBitmap8 render;
    std::string phase = "Error preparing";
    try {
        const std::string caption = CaptionText(n.Stem, r);
        // The phase texts name the raw image's own format (a PNG site image of the iem layout).
        const std::string kind = EndsWith(LowerCase(n.Raw), ".png") ? "png" : "gif";

        phase = "Error loading " + kind;
        std::string error;
        if (!LoadSiteImage(n.Raw, site, error))
            throw TFailure(error);
        phase = "Error " + kind + " too small";
        const int w = site.ScreenWidth, h = site.ScreenHeight;
        if (w < 100 || h < 100) {
            const std::string text = n.Raw + "," + std::to_string(w) + " w by " + std::to_string(h) + " h.  File not saved";
            s.FileLbl.SetCaption(text);
            AppendLog(s, text);
            r.Status = CleanFieldText(text);
            return false;
        }

        phase = "Error preparing " + kind;
        r.SetBounds(w, h);
        render = RenderFirstFrame(site);
        const uint8_t white = render.Nearest(TRgb{255, 255, 255});
        const uint8_t black = render.Nearest(TRgb{0, 0, 0});
        const int tw = m_siteFont.TextWidth(caption);
        const int x = w / 2 - tw / 2;
        render.FillRect(TRect{30, 0, w - 30, 15}, white);
        m_siteFont.TextOut(render, x, 2, caption, black, white);
        render.FillRect(TRect{30, h - 12, w - 30, h}, white);
        m_siteFont.TextOut(render, x, h - 12, caption, black, white);
        if (PumpCancelled(s))
            return false;

        phase = "Error creating legend gif";
        if (s.LegendChk.Checked && FileExists(n.Legend)) {
            const TBitmap8& legend = LegendRendering(n.Legend);
            const int lw = legend.Width(), lh = legend.Height();
            if (ServingLayout(s, r).LegendWhole())
                render.CopyMappedTo(legend, std::max(0, w - lw), 200, h - 12); // above the lower caption band
            else
                render.CopyRectMapped(legend, TRect{lw - 45, 200, lw, lh});
            phase = "Error freeing legend gif";
        }

        phase = "Error transferring files";
        const std::vector<std::string> targets = s.TargetCmb.Items;
        const bool toUnderlayDir = !s.QuorUnderlayPath.empty();
        for (size_t i = 0; i < targets.size(); ++i) {
            if (PumpCancelled(s))
                return false;
            const std::string& d = targets[i];
            phase = "Error tranferring files";
            s.Sbar.SetPanel(0, "Transferring " + n.Underlay + " to " + d);
            if (!DirectoryExists(d))
                continue;
            if (PumpCancelled(s))
                return false;
            if (SameText(d, s.QuorUnderlayPath)) {
                // The new underlay is written in full before anything moves: only then does
                // the series shift and the new file take the current name, so a failed write
                // leaves the current underlay and its series as they were.
                phase = "Error saving bmp";
                std::string bytes;
                if (native && !EncodeGif(site, bytes, error))
                    throw TFailure(error);
                TStagedFile staged(native ? StageBytes(d + n.Underlay, bytes, error)
                                          : StageBmp8(d + n.Underlay, render, error));
                if (!staged)
                    throw TFailure(error);
                bytes.clear();
                // A raw image delivered under the underlay's own name already is the new
                // image: it must not enter the series as well.
                const std::string delivered = RawIsUnderlay(s, r, p) ? n.Raw : std::string();
                if (r.Accumulate) {
                    s.Sbar.SetPanel(0, "Accumulating " + n.Underlay + " to " + d);
                    s.FileLbl.SetCaption("Renaming " + std::to_string(i + 1) + " at " + d + n.Underlay
                        + " images at " + Now(s));
                    if (PumpCancelled(s))
                        return false;
                    phase = "Error accumulating files";
                    const int32_t previous = native ? AccumulateGif(s, d + n.Underlay, delivered)
                                                    : AccumulateBmp(s, d + n.Underlay, delivered);
                    if (PumpCancelled(s))
                        return false;
                    if (previous >= 0 && previous < 250) {
                        const std::string text = "Error - previous " + n.Underlay + " file size = "
                            + std::to_string(previous) + " accum images process not used.";
                        s.FileLbl.SetCaption(text);
                        AppendLog(s, text);
                        if (FileExists(d + n.Underlay) && !DeleteFile(ResolvePath(d + n.Underlay))) {
                            r.Status = "Error deleting empty " + d + n.Underlay;
                            AppendLog(s, r.Status);
                        }
                    }
                }
                if (PumpCancelled(s))
                    return false;
                phase = "Error saving bmp";
                if (!staged.Commit(d + n.Underlay, error))
                    throw TFailure(error);
                if (r.Accumulate)
                    SettleShift(d);
                // The delivered raw image spelled in another case is a second file here.
                if (!delivered.empty() && FileExists(delivered) && ResolvePath(delivered) != ResolvePath(d + n.Underlay))
                    DeleteFile(ResolvePath(delivered));
                if (r.Bounds.size() > 8 && !WriteLineFile(ResolvePath(d + n.BoundsName), r.Bounds))
                    throw TFailure("cannot write " + d + n.BoundsName + ": " + std::strerror(errno));
            }
            s.Sbar.SetPanel(0, "Copying files to " + d);
            if (PumpCancelled(s))
                return false;
            s.FileLbl.SetCaption("Copying " + n.BoundsName + " to" + d + " at " + Now(s));
            if (PumpCancelled(s) || PumpCancelled(s))
                return false;
            phase = "Error copying files";
            if (!s.IsClient() && !SameText(d, s.QuorUnderlayPath) && toUnderlayDir) {
                s.FileLbl.SetCaption("Copying " + n.Raw + " to " + d);
                if (PumpCancelled(s))
                    return false;
                // A failed copy is not fatal: the other targets and the underlay still count.
                if (!CopyFileOver(ResolvePath(n.Raw), d + ExtractFileName(n.Raw)))
                    s.Dialogs.Beep();
                s.FileLbl.SetCaption("Copying " + n.World + " to " + d);
                if (PumpCancelled(s))
                    return false;
                if (!CopyFileOver(ResolvePath(n.World), d + ExtractFileName(n.World)))
                    s.Dialogs.Beep();
                if (s.LegendChk.Checked && FileExists(n.Legend)
                    && !CopyFileOver(ResolvePath(n.Legend), d + ExtractFileName(n.Legend)))
                    s.Dialogs.Beep();
                if (PumpCancelled(s))
                    return false;
            }
        }

        if (ReportDeliveryCancelled(s, targets.size(), n.Underlay))
            return false;

        if (s.RedrawChk.Enabled && s.RedrawChk.Checked && SameText(n.Underlay, s.UnderlayName)) {
            phase = "Error redrawing Map";
            s.FileLbl.SetCaption("Redrawing UiView map with " + s.UnderlayName + " underlay at " + Now(s));
            if (PumpCancelled(s))
                return false;
            if (s.Hooks.RedrawMap)
                s.Hooks.RedrawMap();
        }
        r.Status = "OK";
        s.FileLbl.SetCaption(ElapsedText(s, start));
        return true;
    } catch (const std::exception& e) {
        return ReportFailure(s, r, n.Raw, e.what(), phase);
    }
}

} // namespace sf
