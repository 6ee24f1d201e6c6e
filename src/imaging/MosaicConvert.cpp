#include "imaging/Accumulate.h"
#include "imaging/BmpWriter.h"
#include "imaging/Convert.h"
#include "imaging/ConvertCommon.h"
#include "imaging/PngReader.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Text.h"
#include <cerrno>
#include <cstring>
#include <vector>

namespace sf {

using namespace convert;

namespace {

/// Decodes the PNG row by row straight into the 8-bit destination: each pixel composited
/// over black by its alpha, mapped to the nearest halftone colour, and black made white
/// (so transparent areas and black both come out white).
void StreamPngInto(TPngReader& png, TBitmap8& dest, THalftoneMapper& mapper, std::string& phase)
{
    const TPalette& pal = HalftonePalette();
    uint8_t blackToWhite[256];
    for (int i = 0; i < 256; ++i)
        blackToWhite[i] = pal[i] == TRgb{0, 0, 0} ? uint8_t(255) : uint8_t(i);
    const uint8_t white = blackToWhite[0];
    const int width = png.Width();
    std::vector<uint8_t> row(size_t(width) * 4);
    std::string error;
    // An interlaced picture arrives pass by pass, each stored row covering every Step-th
    // pixel of one destination row; a plain one row by row, whole.
    TPngRowSpan span;
    for (int64_t k = png.StoredRows(); k > 0; --k) {
        if (!png.ReadSpan(row.data(), span, error)) {
            phase = "Error loading Png"; // the picture itself is damaged
            throw TFailure(error);
        }
        uint8_t* out = dest.Row(span.Y) + span.First;
        const size_t step = size_t(span.Step);
        const uint8_t* in = row.data();
        uint32_t lastPixel = 0;
        uint8_t lastIndex = white; // a fully transparent pixel
        const size_t count = size_t(span.Count);
        for (size_t i = 0; i < count;) {
            uint32_t pixel;
            std::memcpy(&pixel, in, 4);
            if (pixel != lastPixel) {
                lastPixel = pixel;
                const unsigned a = in[3];
                if (a == 0) {
                    lastIndex = white;
                } else if (a == 255) {
                    lastIndex = blackToWhite[mapper.Map(in[0], in[1], in[2])];
                } else {
                    const auto over = [a](unsigned c) { return uint8_t((c * a + 127) / 255); };
                    lastIndex = blackToWhite[mapper.Map(over(in[0]), over(in[1]), over(in[2]))];
                }
            }
            out[i * step] = lastIndex;
            ++i;
            in += 4;
            if (step != 1)
                continue;
            // A mosaic is mostly long runs of one colour (clear sky, one echo level): the
            // run is measured two pixels at a time and filled at once.
            const uint64_t pair = uint64_t(lastPixel) * 0x100000001ull;
            size_t run = 0;
            for (uint64_t two; i + run + 2 <= count; run += 2) {
                std::memcpy(&two, in + run * 4, 8);
                if (two != pair)
                    break;
            }
            std::memset(out + i, lastIndex, run);
            i += run;
            in += run * 4;
        }
    }
}

} // namespace

bool TConverter::ConvertMosaicImage(TRadarObj& r, const std::string& p)
{
    TShared& s = m_s;
    s.Sbar.SetPanel(1, "Convert");
    s.Sbar.SetPanel(0, "Converting " + p);
    const double start = s.Clock.LocalNow();
    const TConvertNames n = MosaicNames(s, r, p);

    if (!RawFilesUsable(s, r, n.Raw, n.World))
        return false;
    s.FileLbl.SetCaption("Converting " + n.Raw + " " + Now(s));
    s.Sbar.SetPanel(0, s.FileLbl.Caption());

    // One 8-bit buffer serves as render and destination bitmap; the PNG is never held whole.
    TPngReader png;
    TBitmap8 dest;
    std::string phase = "Error loading Png";
    try {
        std::string error;
        if (!png.Open(n.Raw, error))
            throw TFailure(error);
        const int w = png.Width(), h = png.Height();
        if (w < 5000 || h < 2000) {
            const std::string text = n.Raw + " too small " + "," + std::to_string(w) + " w by " + std::to_string(h)
                + " h.  File not saved";
            s.FileLbl.SetCaption(text);
            AppendLog(s, text);
            r.Status = "Error " + text;
            return false;
        }
        r.SetBounds(w, h);
        const std::string caption = CaptionText(n.Stem, r);

        phase = "Error setting up bmp";
        dest.Palette = HalftonePalette();
        dest.SetSizeForOverwrite(w, h); // every pixel comes from the PNG
        phase = "Error drawing png on bmp";
        if (!m_mapper)
            m_mapper = std::make_unique<THalftoneMapper>();
        StreamPngInto(png, dest, *m_mapper, phase);
        phase = "Error freeing png";
        png.Close();
        if (PumpCancelled(s))
            return false;
        phase = "Error setting up dest";
        phase = "Error drawing on dest";
        phase = "Error freeing bmp";

        phase = "Error writing on dest";
        const uint8_t white = dest.Nearest(TRgb{255, 255, 255});
        const uint8_t black = dest.Nearest(TRgb{0, 0, 0});
        dest.FillRect(TRect{30, 0, w - 30, m_mosaicFont.TextHeight("YyXp")}, white);
        m_mosaicFont.TextOut(dest, w / 2 - m_mosaicFont.TextWidth(caption) / 2, 2, caption, black, white);

        phase = "Error preparing target";
        const std::vector<std::string> targets = s.TargetCmb.Items;
        for (size_t i = 0; i < targets.size(); ++i) {
            const std::string& d = targets[i];
            s.Sbar.SetPanel(0, "Transferring " + n.Underlay + " to " + d);
            if (!DirectoryExists(d))
                continue;
            if (SameText(d, s.QuorUnderlayPath)) {
                // Written in full before the series shifts, as for site images: a failed
                // write leaves the current underlay and its series untouched.
                phase = "Error saving dest";
                TStagedFile staged(StageBmp8(d + n.Underlay, dest, error));
                if (!staged)
                    throw TFailure(error);
                if (r.Accumulate) {
                    s.Sbar.SetPanel(0, "Accumulating " + n.Underlay + " to " + d);
                    s.FileLbl.SetCaption("Renaming " + std::to_string(i + 1) + " at " + d + n.Underlay
                        + " images at " + Now(s));
                    if (s.Cancel)
                        return false;
                    phase = "Error accumulating";
                    const int32_t previous = AccumulateBmp(s, d + n.Underlay);
                    if (PumpCancelled(s))
                        return false;
                    if (previous >= 0 && previous < 3000) {
                        const std::string text = "Error - previous " + n.Underlay + " file size = "
                            + std::to_string(previous) + " accum images process not used.";
                        s.FileLbl.SetCaption(text);
                        AppendLog(s, text);
                        if (FileExists(d + n.Underlay) && !DeleteFile(ResolvePath(d + n.Underlay)))
                            throw TFailure("cannot delete " + d + n.Underlay + ": " + std::strerror(errno));
                    }
                }
                if (s.Cancel)
                    return false;
                phase = "Error saving dest";
                if (!staged.Commit(d + n.Underlay, error))
                    throw TFailure(error);
                if (r.Accumulate)
                    SettleShift(d);
                if (r.Bounds.size() > 8 && !WriteLineFile(ResolvePath(d + n.BoundsName), r.Bounds))
                    throw TFailure("cannot write " + d + n.BoundsName + ": " + std::strerror(errno));
            } else if (!s.IsClient() && !s.QuorUnderlayPath.empty()) {
                s.Sbar.SetPanel(0, "Copying files to " + d);
                s.FileLbl.SetCaption("Copying " + n.BoundsName + " to" + d + " at " + Now(s));
                if (PumpCancelled(s))
                    return false;
                for (const std::string& file : {n.Raw, n.World}) {
                    s.FileLbl.SetCaption("Copying " + file + " to " + d);
                    if (PumpCancelled(s))
                        return false;
                    if (!CopyFileOver(ResolvePath(file), d + ExtractFileName(file)))
                        s.Dialogs.Beep();
                    if (PumpCancelled(s))
                        return false;
                }
            }
            phase = "Error unknown";
        }

        dest.Clear();
        if (ReportDeliveryCancelled(s, targets.size(), n.Underlay))
            return false;

        if (s.RedrawChk.Enabled && s.RedrawChk.Checked && SameText(n.Underlay, s.UnderlayName)) {
            phase = "Error redrawing UiView map";
            s.FileLbl.SetCaption("Redrawing UiView map with " + s.UnderlayName + " underlay at " + Now(s));
            if (s.Hooks.RedrawMap)
                s.Hooks.RedrawMap();
            if (PumpCancelled(s))
                return false;
        }
        r.Status = "OK";
        s.FileLbl.SetCaption(ElapsedText(s, start));
        return true;
    } catch (const std::exception& e) {
        return ReportFailure(s, r, n.Raw, e.what(), phase);
    }
}

} // namespace sf
