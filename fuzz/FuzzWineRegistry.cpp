// The Wine registry reader on arbitrary text after a valid header: every string it
// decodes is valid UTF-8, and a value written before the fuzzed lines keeps its text
// unless the fuzzed lines themselves write a value of that name into its key.
#include "FuzzCheck.h"
#include "host/WineRegistry.h"
#include <optional>

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::string probeKey = "WINE REGISTRY Version 2\n\n[Software\\\\Fuzz\\\\Probe] 1\n";
    const std::string text = probeKey + "\"Name\"=\"value\"\n\n" + body;
    sf::TRegHive hive;
    int skipped = 0;
    Check(sf::ParseWineRegistry(text, hive, nullptr, &skipped), "a file with the header parses");
    Check(hive.HasKey("Software\\Fuzz\\Probe"), "a key before the fuzzed lines is kept");

    // The fuzzed lines follow the probe's key, so they may write "name" there (a later
    // value replaces an earlier one of the same name, of any type): read them alone.
    sf::TRegHive bodyOnly;
    sf::ParseWineRegistry(probeKey + "\n" + body, bodyOnly);
    const sf::TRegKey* bodyProbe = bodyOnly.FindKey("Software\\Fuzz\\Probe");
    const bool redefined = bodyProbe && bodyProbe->Values.count("name");

    sf::TWineRegistry reg;
    reg.SetHives(text, body);
    const auto probe = reg.ReadString(sf::TRegRoot::CurrentUser, "Software\\Fuzz\\Probe", "Name");
    if (!redefined)
        Check(probe == std::optional<std::string>("value"), "the probe value keeps its text");
    for (const char* name : {"", "Name", "InstallDir", "Path"})
        for (sf::TRegRoot root : {sf::TRegRoot::CurrentUser, sf::TRegRoot::LocalMachine, sf::TRegRoot::ClassesRoot})
            if (auto v = reg.ReadString(root, "Software\\Fuzz\\Probe", name))
                Check(sf::fuzz::ValidUtf8(*v), "registry strings are valid UTF-8");

    for (size_t start = 0; start < size && start < 64; ++start) {
        size_t pos = start;
        std::string out;
        sf::ParseRegString(body, pos, '"', out);
        Check(pos <= body.size(), "the string parser stays inside the text");
        Check(sf::fuzz::ValidUtf8(out), "a decoded registry string is valid UTF-8");
    }
    return 0;
}
