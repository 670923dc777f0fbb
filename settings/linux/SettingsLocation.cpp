#include "settings/SettingsStore.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kestrin {

namespace {

std::filesystem::path HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return entry->pw_dir;
    return {};
}

} // namespace

std::filesystem::path SettingsFilePath(std::string_view executableBaseName)
{
    const std::string fileName = std::string(executableBaseName) + ".INI";
    // A relative XDG_CONFIG_HOME would follow the working directory, so it counts as unset.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return std::filesystem::path(config) / fileName;
    const std::filesystem::path home = HomeDirectory();
    if (home.empty())
        return {};
    return home / ".config" / fileName;
}

std::filesystem::path OlderSettingsFilePath(std::string_view)
{
    return {}; // Kestrin has always kept its file in the same place here
}

std::string ExecutableBaseName()
{
    std::error_code error;
    std::string name = std::filesystem::read_symlink("/proc/self/exe", error).filename().string();
    // The kernel marks an executable replaced while it runs.
    constexpr std::string_view kDeleted = " (deleted)";
    if (name.ends_with(kDeleted))
        name.resize(name.size() - kDeleted.size());
    name = std::filesystem::path(name).stem().string();
    return name.empty() ? "kestrin" : name;
}

} // namespace kestrin
