// Ini text on arbitrary input: written and read back it keeps every key and value,
// and a key written into it reads back as written.
#include "FuzzCheck.h"
#include "core/IniFile.h"

using sf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    sf::TIniText ini(text);
    const sf::TIniText again(ini.Text());
    for (const std::string& section : ini.Sections())
        for (const std::string& key : ini.Keys(section)) {
            Check(again.HasKey(section, key), "a key survives write and read");
            Check(again.ReadString(section, key, "\x01missing") == ini.ReadString(section, key, "\x02missing"),
                  "a value survives write and read");
        }
    Check(again.Text() == ini.Text(), "written text is stable");

    // A plain key written into the fuzzed text reads back, and so does the text around it.
    ini.WriteString("Fuzz", "Probe", "value 1");
    ini.WriteInteger("Fuzz", "Count", -42);
    const sf::TIniText written(ini.Text());
    Check(written.ReadString("Fuzz", "Probe", "") == "value 1", "a written string reads back");
    Check(written.ReadInteger("Fuzz", "Count", 0) == -42, "a written integer reads back");
    return 0;
}
