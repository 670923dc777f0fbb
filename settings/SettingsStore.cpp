#include "settings/SettingsStore.h"

#include "settings/AtomicFile.h"
#include "settings/ProfileText.h"
#include "settings/Timing.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kestrin {

namespace {

constexpr std::string_view kSection = "parms";
constexpr std::string_view kToneKey = "Tone";
constexpr std::string_view kSpeedKey = "Speed";
constexpr std::string_view kGapKey = "Gap";

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

KeyerSettings UsableKeyerSettings(std::int64_t tone, std::int64_t speed, std::int64_t gap)
{
    const KeyerSettings defaults;
    KeyerSettings result;
    result.tone = tone >= INT_MIN && tone <= INT_MAX ? static_cast<int>(tone) : defaults.tone;
    result.speed = speed >= 1 && speed <= INT_MAX ? static_cast<int>(speed) : defaults.speed;
    // The character pad is (gap x dot time) / 2, and gap x dot time must stay an int.
    const std::int64_t largestGap = LargestUsableGap(DotTimeMs(result.speed));
    if (gap < 0)
        result.gap = defaults.gap;
    else
        result.gap = static_cast<int>(gap < largestGap ? gap : largestGap);
    return result;
}

KeyerSettings KeyerSettingsFrom(const ProfileText& profile)
{
    const KeyerSettings defaults;
    return UsableKeyerSettings(profile.ReadInteger(kSection, kToneKey, defaults.tone),
        profile.ReadInteger(kSection, kSpeedKey, defaults.speed),
        profile.ReadInteger(kSection, kGapKey, defaults.gap));
}

KeyerSettings LoadKeyerSettings(const std::filesystem::path& file)
{
    if (file.empty())
        return {};
    FileRead read = ReadSmallFile(file);
    if (read.outcome != FileRead::Outcome::Read)
        return {};
    return KeyerSettingsFrom(ProfileText(std::move(read.bytes)));
}

void SaveKeyerSettings(const std::filesystem::path& file, const KeyerSettings& settings)
{
    if (file.empty())
        return;
    FileRead read = ReadSmallFile(file);
    // Rewriting a file that could not be read would lose whatever else it holds.
    if (read.outcome == FileRead::Outcome::Unreadable)
        return;
    const bool existed = read.outcome == FileRead::Outcome::Read;
    ProfileText profile(std::move(read.bytes));
    const std::string before = profile.Bytes();
    profile.SetValue(kSection, kToneKey, std::to_string(settings.tone));
    profile.SetValue(kSection, kSpeedKey, std::to_string(settings.speed));
    profile.SetValue(kSection, kGapKey, std::to_string(settings.gap));
    if (existed && profile.Bytes() == before)
        return;

    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return;
    (void)ReplaceFileAtomically(file, profile.Bytes()); // a failed save is silent by design
}

} // namespace kestrin
