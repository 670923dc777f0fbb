// Feeds arbitrary bytes to the profile reader and writer. Beyond not crashing, hanging or leaking,
// it checks what the settings store relies on: decoding the file's encoding and encoding it back
// gives its bytes again, loaded settings are usable by any send, a saved value reads back as
// saved, saving it again changes nothing, and other sections keep their values.
#include "settings/ProfileEncoding.h"
#include "settings/ProfileText.h"
#include "settings/SettingsStore.h"

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
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const ProfileEncoding encoding = ProfileEncoding::Of(bytes);
    ProfileText profile(encoding.Decode(bytes));
    Check(encoding.Encode(profile.Bytes()) == bytes);
    const std::int64_t elsewhere = profile.ReadInteger("other", "Tone", 7);

    const KeyerSettings loaded = KeyerSettingsFrom(profile);
    Check(loaded.tone >= 20 && loaded.tone <= 20000);
    Check(loaded.speed >= 1 && 1200 / loaded.speed >= 12 && loaded.gap >= 0);
    Check(std::int64_t { loaded.gap } * (1200 / loaded.speed) / 2 <= 12000);

    const KeyerSettings changed { loaded.tone == 700 ? 701 : 700, loaded.speed, loaded.gap };
    WriteKeyerSettings(profile, changed);
    Check(KeyerSettingsFrom(profile) == changed);
    Check(profile.ReadInteger("other", "Tone", 7) == elsewhere);

    const std::string saved = profile.Bytes();
    WriteKeyerSettings(profile, changed);
    Check(profile.Bytes() == saved);
    Check(ProfileEncoding::Of(encoding.Encode(saved)).Decode(encoding.Encode(saved)) == saved);
    return 0;
}
