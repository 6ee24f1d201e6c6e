#include "imaging/BmpWriter.h"
#include "core/Files.h"
#include "core/StaleTemp.h"
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <memory>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace sf {

namespace {

constexpr uint32_t kHeaderBytes = 14 + 40 + 256 * 4;

void Put16(std::string& out, uint16_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}

void Put32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

uint32_t RowStride(const TBitmap8& bmp) { return (uint32_t(bmp.Width()) + 3u) & ~3u; }

/// File header, info header and palette; false when the file would pass 4 GiB.
bool Headers(const TBitmap8& bmp, std::string& out)
{
    const uint64_t image = uint64_t(RowStride(bmp)) * uint64_t(bmp.Height());
    if (image + kHeaderBytes > 0xFFFFFFFFull)
        return false;
    out.clear();
    out += "BM";
    Put32(out, uint32_t(image + kHeaderBytes));
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, kHeaderBytes);
    Put32(out, 40);
    Put32(out, uint32_t(int32_t(bmp.Width())));
    Put32(out, uint32_t(int32_t(bmp.Height()))); // positive: rows bottom-up
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0); // BI_RGB
    Put32(out, uint32_t(image));
    Put32(out, 3780); // 96 dpi in pixels per metre
    Put32(out, 3780);
    Put32(out, 256);
    Put32(out, 0);
    for (const TRgb& c : bmp.Palette) {
        out.push_back(char(c.B));
        out.push_back(char(c.G));
        out.push_back(char(c.R));
        out.push_back(0);
    }
    return true;
}

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string TempNameBeside(const std::string& target)
{
    return OwnTempPath(target);
}

} // namespace

std::string EncodeBmp8(const TBitmap8& bmp)
{
    std::string out;
    if (!Headers(bmp, out))
        return {};
    const uint32_t stride = RowStride(bmp);
    out.reserve(out.size() + size_t(stride) * size_t(bmp.Height()));
    for (int y = bmp.Height() - 1; y >= 0; --y) {
        out.append(reinterpret_cast<const char*>(bmp.Row(y)), size_t(bmp.Width()));
        out.append(stride - uint32_t(bmp.Width()), '\0');
    }
    return out;
}

namespace {

// Writes a hidden temporary file beside path through write, flushed to disk; its name, or
// empty with error set (naming path, the file the user knows, and the system's reason).
template <typename Write>
std::string Stage(const std::string& path, std::string& error, Write&& write)
{
    const std::string tmp = TempNameBeside(ResolvePath(path));
    std::unique_ptr<std::FILE, TFileCloser> f(std::fopen(tmp.c_str(), "wb"));
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return {};
    }
    bool ok = write(f.get());
    ok = (std::fflush(f.get()) == 0) && ok;
    ok = (::fsync(::fileno(f.get())) == 0) && ok;
    ok = (std::fclose(f.release()) == 0) && ok;
    if (!ok) {
        const int reason = errno;
        std::remove(tmp.c_str());
        error = "cannot write " + path + ": " + std::strerror(reason);
        return {};
    }
    return tmp;
}

} // namespace

std::string StageBmp8(const std::string& path, const TBitmap8& bmp, std::string& error)
{
    std::string head;
    if (!Headers(bmp, head)) {
        error = "bitmap too large for BMP";
        return {};
    }
    // Large blocks keep the system calls few for a mosaic of many megabytes.
    std::vector<char> buffer(std::min<size_t>(size_t(1) << 20, head.size() + size_t(RowStride(bmp)) * size_t(bmp.Height())));
    return Stage(path, error, [&](std::FILE* f) {
        std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
        bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
        const uint32_t pad = RowStride(bmp) - uint32_t(bmp.Width());
        const char zeros[4] = {0, 0, 0, 0};
        // The disk starts writing each few megabytes as soon as they are handed over, so
        // the flush at the end waits only for the last of a mosaic, not for all of it.
        constexpr long kWriteBehind = 4L << 20;
        long sinceKick = 0, kicked = 0;
        for (int y = bmp.Height() - 1; ok && y >= 0; --y) {
            ok = std::fwrite(bmp.Row(y), 1, size_t(bmp.Width()), f) == size_t(bmp.Width())
                && std::fwrite(zeros, 1, pad, f) == pad;
            sinceKick += long(bmp.Width()) + long(pad);
            if (ok && sinceKick >= kWriteBehind && std::fflush(f) == 0) {
                const long written = std::ftell(f);
                if (written > kicked)
                    ::sync_file_range(::fileno(f), kicked, written - kicked, SYNC_FILE_RANGE_WRITE);
                kicked = std::max(kicked, written);
                sinceKick = 0;
            }
        }
        return ok;
    });
}

std::string StageBytes(const std::string& path, const std::string& bytes, std::string& error)
{
    return Stage(path, error,
                 [&](std::FILE* f) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); });
}

bool CommitStaged(const std::string& staged, const std::string& path, std::string& error)
{
    if (!ReplaceFile(staged, ResolvePath(path))) {
        const int reason = errno;
        std::remove(staged.c_str());
        error = "cannot replace " + path + ": " + std::strerror(reason);
        return false;
    }
    return true;
}

TStagedFile::~TStagedFile()
{
    if (!m_path.empty())
        std::remove(m_path.c_str());
}

bool TStagedFile::Commit(const std::string& path, std::string& error)
{
    const std::string staged = m_path;
    m_path.clear();
    return CommitStaged(staged, path, error);
}

bool SaveBmp8(const std::string& path, const TBitmap8& bmp, std::string& error)
{
    const std::string tmp = StageBmp8(path, bmp, error);
    return !tmp.empty() && CommitStaged(tmp, path, error);
}

bool SaveBytes(const std::string& path, const std::string& bytes, std::string& error)
{
    errno = 0;
    if (!SaveFileAtomic(ResolvePath(path), bytes)) {
        error = "cannot write " + path + ": " + (errno ? std::strerror(errno) : "not a file name");
        return false;
    }
    return true;
}

} // namespace sf
