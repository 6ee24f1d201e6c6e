// The site and mosaic conversions on fuzzed images (first byte: even = site GIF,
// odd = mosaic PNG; the rest is the image file) with valid world files: a conversion
// either produces non-empty underlay files or reports why in the record's status.
#include "FuzzCheck.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Shared.h"
#include "imaging/Convert.h"
#include "imaging/Synthetic.h"
#include <filesystem>
#include <memory>

using sf::fuzz::Check;
namespace fs = std::filesystem;

namespace {

class TQuietDialogs final : public sf::IDialogs {
public:
    void ErrorBox(const std::string&) override {}
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&) override { return {}; }
    void ShellOpen(const std::string&) override {}
    void Beep() override {}
};

constexpr sf::TDateTime kImageTime = 46000.5;

// One program folder, underlay folder and converter for the whole run: the fonts
// are opened once, as in the program.
struct TEnv {
    sf::TFakeClock Clock{kImageTime, 0};
    TQuietDialogs Dialogs;
    sf::TShared S{Clock, Dialogs};
    std::string Top, Program, Underlays;
    std::string SiteWorld = sf::SyntheticSiteWorldFile("LOT");
    std::string Legend = sf::SyntheticLegendGif("LOT", "N0R");
    std::string MosaicWorld = sf::SyntheticMosaicWorldFile(600, 300);
    std::unique_ptr<sf::TConverter> Converter;

    TEnv()
    {
        Top = sf::fuzz::ScratchPath("_convert/");
        Program = Top + "prog/";
        Underlays = Top + "Quor Underlays/";
        fs::create_directories(Program);
        fs::create_directories(Underlays);
        S.ProgramDir = Program;
        S.QuorUnderlayPath = Underlays;
        S.ReadMemory = [] { return sf::TMemoryStatus{}; };
        S.LegendChk.Checked = true;
        S.SaveGifChk.Checked = false;
        S.TargetCmb.Items = {Underlays};
        Converter = std::make_unique<sf::TConverter>(S);
    }
    ~TEnv() { std::error_code ec; fs::remove_all(Top, ec); }
    void Put(const std::string& name, const std::string& bytes) const
    {
        Check(sf::fuzz::WriteBytes(Program + name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              "scratch file written");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static TEnv env;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(env.Underlays, ec))
        fs::remove(e.path(), ec);
    const std::string image(reinterpret_cast<const char*>(data) + 1, size - 1);
    sf::TRadarObj r = sf::TRadarObj::Create(env.Clock);
    r.LastImage = kImageTime;
    bool ok = false;
    if (data[0] % 2 == 0) {
        r.Radar = "LOT Chicago, IL";
        r.RemoteName = "LOT_N0R_0";
        r.LegendName = "LOT_N0R_Legend_0.gif";
        r.LocalName = "LOT_N0R_0.gif";
        env.Put("LOT_N0R_0.gif", image);
        env.Put("LOT_N0R_0.gfw", env.SiteWorld);
        env.Put("LOT_N0R_Legend_0.gif", env.Legend);
        r.ReadWorldFile(env.Program + "LOT_N0R_0.gfw");
        ok = env.Converter->ConvertSiteImage(r, env.Program + r.LocalName);
    } else {
        r.Radar = "!!Nat";
        r.RemoteName = "N0R_0";
        r.LocalName = "n0r_0.gif";
        env.Put("N0R_0.png", image);
        env.Put("N0R_0.wld", env.MosaicWorld);
        r.ReadWorldFile(env.Program + "N0R_0.wld");
        ok = env.Converter->ConvertMosaicImage(r, env.Program + r.LocalName);
    }
    if (ok) {
        int files = 0;
        for (const auto& e : fs::directory_iterator(env.Underlays, ec)) {
            ++files;
            Check(fs::file_size(e.path(), ec) > 0, "every written underlay file has content");
        }
        Check(files >= 2, "a conversion writes the underlay and its bounds file");
    } else {
        Check(!r.Status.empty(), "a failed conversion says why in the status");
    }
    return 0;
}
