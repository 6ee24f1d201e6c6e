// The demo server's radar: the image pipeline's generator. The national PNG mosaic
// is large, so each 5-minute image is made once and kept until the next one.
#include "app/Demo.h"
#include "imaging/GifCodec.h"
#include "imaging/PngSite.h"
#include "imaging/Synthetic.h"
#include <memory>

namespace sf {

TDemoRadarSource DemoRadarSource()
{
    struct TCache {
        TDateTime Time = -1;
        std::string Bytes;
    };
    auto png = std::make_shared<TCache>();
    auto gif = std::make_shared<TCache>();
    TDemoRadarSource src;
    src.SiteGif = [](const std::string& site, const std::string& product, TDateTime utc) {
        return SyntheticSiteLocation(site).Known ? SyntheticSiteGif(site, product, utc) : std::string();
    };
    src.SiteWorld = [](const std::string& site, const std::string&) {
        return SyntheticSiteLocation(site).Known ? SyntheticSiteWorldFile(site) : std::string();
    };
    src.Legend = [](const std::string& site, const std::string& product) { return SyntheticLegendGif(site, product); };
    src.MosaicGif = [gif](TDateTime utc) {
        if (gif->Time != utc) {
            gif->Bytes = SyntheticMosaicGif("ConUS", utc);
            gif->Time = utc;
        }
        return gif->Bytes;
    };
    src.MosaicGifWorld = [] { return SyntheticMosaicGifWorldFile(); };
    src.MosaicPng = [png](TDateTime utc) {
        if (png->Time != utc) {
            png->Bytes = SyntheticMosaicPng(utc);
            png->Time = utc;
        }
        return png->Bytes;
    };
    src.MosaicPngWorld = [] { return SyntheticMosaicWorldFile(); };
    // The iem layout: the same site picture as a palette PNG with its transparent index;
    // the composite is the national PNG mosaic.
    src.SitePng = [](const std::string& site, const std::string& product, TDateTime utc) {
        TGifImage gif;
        std::string error;
        if (!SyntheticSiteLocation(site).Known || !DecodeGif(SyntheticSiteGif(site, product, utc), gif, error))
            return std::string();
        const TBitmap8 picture = RenderFirstFrame(gif);
        return EncodePalettePng(picture, picture.PaletteCount, gif.TransparentIndex());
    };
    src.CompositePng = src.MosaicPng;
    // The map service: a picture drawn for the box asked for, and the colour scale.
    src.WmsMap = [](const std::string& key, int width, int height, TDateTime utc) {
        return SyntheticMapPng(key, width, height, utc);
    };
    src.WmsLegend = [](const std::string&) { return SyntheticLegendPng(); };
    return src;
}

} // namespace sf
