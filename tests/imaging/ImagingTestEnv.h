// Shared state for the image pipeline tests: a fake clock, scripted dialogs, a
// program folder and a map-server underlay folder in a fresh temporary folder.
#pragma once
#include "core/Shared.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <QImage>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <utime.h>

namespace sf::test {

struct TImagingEnv {
    TFakeClock Clock{46000.5, 0}; // 2025-12-09 12:00 UTC, local = UTC
    TScriptedDialogs Dialogs;
    TTempDir Temp;
    TShared S{Clock, Dialogs};
    std::string Program, Underlays;

    TImagingEnv()
    {
        Program = Temp.Path() + "prog/";
        Underlays = Temp.Path() + "Quor Underlays/";
        std::filesystem::create_directories(Program);
        std::filesystem::create_directories(Underlays);
        S.ProgramDir = Program;
        S.QuorUnderlayPath = Underlays;
        S.Logerrors1.Checked = true;
        S.ReadMemory = [] { return TMemoryStatus{}; };
    }
    /// Today's error log, empty when none.
    std::string Log() const
    {
        for (auto& e : std::filesystem::directory_iterator(Program))
            if (e.path().filename().string().find("ErrorLog") != std::string::npos)
                return Temp.Read("prog/" + e.path().filename().string());
        return {};
    }
};

/// Writes bytes to a file, creating or replacing it.
inline void WriteFile(const std::string& path, const std::string& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

inline std::string ReadFile(const std::string& path)
{
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
}

/// Sets a file's modification time to now minus secondsAgo.
inline void Age(const std::string& path, long secondsAgo)
{
    struct utimbuf t;
    t.actime = t.modtime = time(nullptr) - secondsAgo;
    utime(path.c_str(), &t);
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }

inline QImage Decode(const std::string& bytes, const char* format)
{
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()), format);
}

} // namespace sf::test
