// Helpers of the fuzz targets: a property check that names what failed, a UTF-8
// validity test and a scratch file per process.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace sf::fuzz {

/// Stops the run with a message when a property does not hold (libFuzzer saves the input).
inline void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

/// True when text is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
inline bool ValidUtf8(const std::string& text)
{
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const uint8_t c = p[i];
        size_t len = 0;
        uint32_t cp = 0, min = 0;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F, min = 0x80;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F, min = 0x800;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07, min = 0x10000;
        else return false;
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

/// A file path private to this process, ending in suffix: under $TMPDIR when set, else in
/// memory (/dev/shm) when the system has it, else under /tmp.
inline std::string ScratchPath(const std::string& suffix)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp ? tmp : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/sf_fuzz_" + std::to_string(getpid()) + suffix;
}

/// Writes bytes to path, replacing its content; false on failure. The file is rewritten in
/// place and cut to size: truncating it to nothing first makes ext4 flush it to disk at
/// every close (its replace-via-truncate heuristic), which held a target to ~330 inputs/s.
inline bool WriteBytes(const std::string& path, const uint8_t* data, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0)
            break;
        done += size_t(n);
    }
    const bool ok = done == size && ::ftruncate(fd, off_t(size)) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace sf::fuzz
