#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace kestrin::testing_support {

namespace fs = std::filesystem;

// A new empty folder in the system's temporary folder, removed with all it holds at the end.
class TempDir {
public:
    TempDir()
    {
        std::random_device random;
        do
            m_path = fs::temp_directory_path() / ("kestrin-settings-" + std::to_string(random()));
        while (!fs::create_directory(m_path));
    }
    ~TempDir()
    {
        std::error_code error;
        fs::remove_all(m_path, error); // a test that left a file locked keeps it; no matter
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

inline std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every entry under the directory with its type and, for files, its bytes.
inline std::map<std::string, std::string> Snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const auto type = entry.symlink_status().type();
        entries[entry.path().string()] = std::to_string(static_cast<int>(type))
            + (type == fs::file_type::regular ? ReadBytes(entry.path()) : "");
    }
    return entries;
}

} // namespace kestrin::testing_support
