#pragma once

#include "settings/KeyerSettings.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrin {

class ProfileText;

// Where the settings live differs by platform (settings/<platform>/SettingsLocation.cpp).

// The settings file, `<base>.INI`: on Linux in $XDG_CONFIG_HOME, or in ~/.config when that is
// unset, empty or relative; on Windows in the user's roaming application data folder. Empty when
// no such folder can be found.
std::filesystem::path SettingsFilePath(std::string_view executableBaseName);

// Where an older Kestrin kept the file and a user may still have it: the Windows directory on
// Windows, nothing on Linux. Read while the settings file itself does not exist; never written.
std::filesystem::path OlderSettingsFilePath(std::string_view executableBaseName);

// This program's executable name without directory and extension ("kestrin").
std::string ExecutableBaseName();

// Tone, Speed and Gap of section "parms", with the defaults for what is missing and the values no
// send could use replaced (see UsableKeyerSettings). A missing or unreadable file gives the
// defaults; a missing file is looked for at olderFile, when given, before that.
KeyerSettings LoadKeyerSettings(
    const std::filesystem::path& file, const std::filesystem::path& olderFile = {});
KeyerSettings KeyerSettingsFrom(const ProfileText& profile);

// The one place where stored values that no send could use are mended: a tone outside 20 to
// 20000 Hz, a speed outside 1 to 100 WPM (a dot shorter than its tone's rise and fall), and a gap
// below 0 or with a character pad over 12 s take their defaults (the bounds: settings/Timing.h).
// A number beyond the int range is never wrapped. Everything else, even outside the slider
// ranges, is kept.
KeyerSettings UsableKeyerSettings(std::int64_t tone, std::int64_t speed, std::int64_t gap);

// Writes Tone, Speed and Gap into section "parms" as decimal text. A key whose stored value
// already reads as the same number keeps its line as it is, text after the number included.
void WriteKeyerSettings(ProfileText& profile, const KeyerSettings& settings);

// Writes the settings into the file (see WriteKeyerSettings), creating the directory and the
// file when needed, keeping the file's encoding (single bytes, or UTF-16 with its byte-order mark)
// and every other character. Leaves the file untouched when it already holds these values, when
// it exists but this user may not write it, and when the result would be larger than a settings
// file may be read (kMaxSmallFileBytes): what it writes always reads back. Failures are silent and
// leave the old file as it was.
void SaveKeyerSettings(const std::filesystem::path& file, const KeyerSettings& settings);

} // namespace kestrin
