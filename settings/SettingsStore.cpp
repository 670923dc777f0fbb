#include "settings/SettingsStore.h"

#include "settings/AtomicFile.h"
#include "settings/ProfileEncoding.h"
#include "settings/ProfileText.h"
#include "settings/Timing.h"

#include <utility>

namespace kestrin {

namespace {

constexpr std::string_view kSection = "parms";
constexpr std::string_view kToneKey = "Tone";
constexpr std::string_view kSpeedKey = "Speed";
constexpr std::string_view kGapKey = "Gap";

} // namespace

KeyerSettings UsableKeyerSettings(std::int64_t tone, std::int64_t speed, std::int64_t gap)
{
    // The bounds and why they are where they are: settings/Timing.h. The gap's bound depends on
    // the speed, so the speed is settled first.
    const KeyerSettings defaults;
    KeyerSettings result;
    result.tone = IsUsableTone(tone) ? static_cast<int>(tone) : defaults.tone;
    result.speed = IsUsableSpeed(speed) ? static_cast<int>(speed) : defaults.speed;
    result.gap = IsUsableGap(gap, result.speed) ? static_cast<int>(gap) : defaults.gap;
    return result;
}

KeyerSettings KeyerSettingsFrom(const ProfileText& profile)
{
    const KeyerSettings defaults;
    return UsableKeyerSettings(profile.ReadInteger(kSection, kToneKey, defaults.tone),
        profile.ReadInteger(kSection, kSpeedKey, defaults.speed),
        profile.ReadInteger(kSection, kGapKey, defaults.gap));
}

KeyerSettings LoadKeyerSettings(
    const std::filesystem::path& file, const std::filesystem::path& olderFile)
{
    if (file.empty())
        return {};
    FileRead read = ReadSmallFile(file);
    if (read.outcome == FileRead::Outcome::Missing && !olderFile.empty())
        read = ReadSmallFile(olderFile);
    if (read.outcome != FileRead::Outcome::Read)
        return {};
    return KeyerSettingsFrom(ProfileText(ProfileEncoding::Of(read.bytes).Decode(read.bytes)));
}

void WriteKeyerSettings(ProfileText& profile, const KeyerSettings& settings)
{
    const std::pair<std::string_view, int> values[]
        = { { kToneKey, settings.tone }, { kSpeedKey, settings.speed }, { kGapKey, settings.gap } };
    for (const auto& [key, value] : values) {
        // Writing "12" over "12 ; fast" would only lose the comment.
        if (profile.StoredInteger(kSection, key) != value)
            profile.SetValue(kSection, key, std::to_string(value));
    }
}

void SaveKeyerSettings(const std::filesystem::path& file, const KeyerSettings& settings)
{
    if (file.empty())
        return;
    const FileRead read = ReadSmallFile(file);
    // Rewriting a file that could not be read would lose whatever else it holds.
    if (read.outcome == FileRead::Outcome::Unreadable)
        return;
    const bool existed = read.outcome == FileRead::Outcome::Read;
    const ProfileEncoding encoding = ProfileEncoding::Of(read.bytes);
    ProfileText profile(encoding.Decode(read.bytes));
    const std::string before = profile.Bytes();
    WriteKeyerSettings(profile, settings);
    if (existed && profile.Bytes() == before)
        return;
    const std::string bytes = encoding.Encode(profile.Bytes());
    // What is written must read back: a file grown past the reader's limit would be ignored at the
    // next start and never saved again, so the old one stays.
    if (bytes.size() > kMaxSmallFileBytes)
        return;

    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    if (error)
        return;
    // A failed save is silent by design.
    (void)ReplaceFileAtomically(file, bytes);
}

} // namespace kestrin
