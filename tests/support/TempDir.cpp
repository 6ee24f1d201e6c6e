#include "support/TempDir.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace sf::test {

TTempDir::TTempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "sftest-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl + "/";
}

TTempDir::~TTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TTempDir::Write(const std::string& relative, const std::string& bytes) const
{
    std::filesystem::path p = m_path + relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << bytes;
    return p.string();
}

std::string TTempDir::Read(const std::string& relative) const
{
    std::ifstream f(m_path + relative, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace sf::test
