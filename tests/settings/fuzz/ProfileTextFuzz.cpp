// Feeds arbitrary bytes to the profile reader and writer. Beyond not crashing, hanging or leaking,
// it checks what the settings store relies on: loaded settings are usable by any send, a saved
// value reads back as saved, saving it again changes nothing, and other sections keep their values.
#include "settings/ProfileText.h"
#include "settings/SettingsStore.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort(); // libFuzzer keeps the input that broke the rule
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace kestrin;
    ProfileText profile(std::string(reinterpret_cast<const char*>(data), size));
    const std::int64_t elsewhere = profile.ReadInteger("other", "Tone", 7);

    const KeyerSettings loaded = KeyerSettingsFrom(profile);
    Check(loaded.speed >= 1 && loaded.gap >= 0);
    Check(std::int64_t { loaded.gap } * (1200 / loaded.speed) <= INT_MAX);

    profile.SetValue("parms", "Tone", std::to_string(loaded.tone));
    profile.SetValue("parms", "Speed", std::to_string(loaded.speed));
    profile.SetValue("parms", "Gap", std::to_string(loaded.gap));
    Check(KeyerSettingsFrom(profile) == loaded);
    Check(profile.ReadInteger("other", "Tone", 7) == elsewhere);

    const std::string saved = profile.Bytes();
    profile.SetValue("parms", "Speed", std::to_string(loaded.speed));
    Check(profile.Bytes() == saved);
    return 0;
}
