#include "settings/SettingsStore.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace kestrin {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "kestrin-settings-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(m_path); }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every entry under the directory with its type and, for files, its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const auto type = entry.symlink_status().type();
        entries[entry.path().string()] = std::to_string(static_cast<int>(type))
            + (type == fs::file_type::regular ? ReadBytes(entry.path()) : "");
    }
    return entries;
}

TEST(SettingsStore, FirstRunGivesDefaultsAndSavesExactlyFourLines)
{
    TempDir dir;
    const fs::path file = dir.Path() / "missing" / "dirs" / "kestrin.INI";
    EXPECT_EQ(LoadKeyerSettings(file), KeyerSettings {});
    SaveKeyerSettings(file, KeyerSettings {});
    EXPECT_EQ(ReadBytes(file), "[parms]\nTone=800\nSpeed=20\nGap=1\n");
    EXPECT_EQ(Snapshot(file.parent_path()).size(), 1u); // no temporary left
}

TEST(SettingsStore, RoundTripKeepsValuesOutsideSliderRanges)
{
    TempDir dir;
    const fs::path file = dir.Path() / "kestrin.INI";
    SaveKeyerSettings(file, { 2000, 40, 0 });
    EXPECT_EQ(LoadKeyerSettings(file), (KeyerSettings { 2000, 40, 0 }));
    SaveKeyerSettings(file, { 400, 25, 20 });
    EXPECT_EQ(ReadBytes(file), "[parms]\nTone=400\nSpeed=25\nGap=20\n");
}

TEST(SettingsStore, LoadTakesDefaultsForWhatIsMissingAndMendsWhatNoSendCouldUse)
{
    const struct {
        std::string stored; // in section "parms"
        KeyerSettings loaded;
    } cases[] = {
        { "Speed=12\n", { 800, 12, 1 } },
        { "Tone=2000\nSpeed=40\nGap=0\n", { 2000, 40, 0 } },
        { "Speed=0\n", { 800, 20, 1 } },
        { "Speed=-5\nGap=-1\n", { 800, 20, 1 } },
        { "Speed=1\nGap=1789569\n", { 800, 1, 1789569 } }, // 1789569 x 1200 fits an int
        { "Speed=1\nGap=1789570\n", { 800, 1, 1789569 } },
        { "Gap=4294967297\n", { 800, 20, 35791394 } }, // not wrapped to 1
        { "Speed=2000\nGap=99999999999\n", { 800, 2000, INT_MAX } }, // dot time 0: any gap fits
        { "Speed=4294967297\n", { 800, 20, 1 } },
        { "Speed=-99999999999\n", { 800, 20, 1 } },
        { "Tone=-2147483648\n", { INT_MIN, 20, 1 } },
        { "Tone=2147483648\n", { 800, 20, 1 } },
        { "Tone=-99999999999\n", { 800, 20, 1 } },
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.Path() / "k.INI", "[parms]\n" + c.stored);
        const KeyerSettings loaded = LoadKeyerSettings(dir.Path() / "k.INI");
        EXPECT_EQ(loaded, c.loaded) << c.stored;
        // What any send needs: a dot time, and a gap x dot time that is a non-negative int.
        ASSERT_GE(loaded.speed, 1);
        EXPECT_GE(loaded.gap, 0);
        EXPECT_LE(std::int64_t { loaded.gap } * (1200 / loaded.speed), INT_MAX) << c.stored;
    }
}

TEST(SettingsStore, SaveKeepsOtherSectionsCommentsAndLineEndsByteForByte)
{
    TempDir dir;
    const fs::path file = dir.Path() / "k.INI";
    WriteBytes(file,
        "\xEF\xBB\xBF; mine\r\n[window]\r\nx=1\r\n\r\n[Parms]\r\n  speed = 12 \r\nColour=red\r\n"
        "\r\n# end\r\n");
    SaveKeyerSettings(file, { 800, 25, 3 });
    EXPECT_EQ(ReadBytes(file),
        "\xEF\xBB\xBF; mine\r\n[window]\r\nx=1\r\n\r\n[Parms]\r\n  speed = 25 \r\nColour=red\r\n"
        "Tone=800\r\nGap=3\r\n\r\n# end\r\n");
}

TEST(SettingsStore, SavingWhatIsStoredLeavesTheFileUntouched)
{
    TempDir dir;
    const fs::path file = dir.Path() / "k.INI";
    const std::string handEdited = "[PARMS]\n tone = \"800\"\nSPEED=20\ngap = 1 \n";
    WriteBytes(file, handEdited);
    const auto longAgo = fs::last_write_time(file) - std::chrono::hours(24);
    fs::last_write_time(file, longAgo);
    struct stat before { };
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    SaveKeyerSettings(file, LoadKeyerSettings(file));
    struct stat after { };
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(ReadBytes(file), handEdited);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(fs::last_write_time(file), longAgo);
}

TEST(SettingsStore, SaveKeepsPermissionsAndSymbolicLinks)
{
    TempDir dir;
    const fs::path target = dir.Path() / "real.INI";
    const fs::path link = dir.Path() / "k.INI";
    const auto rw_r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    WriteBytes(target, "[parms]\nTone=500\n");
    fs::permissions(target, rw_r);
    fs::create_symlink("real.INI", link);

    SaveKeyerSettings(link, KeyerSettings {});
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(target), "[parms]\nTone=800\nSpeed=20\nGap=1\n");
    EXPECT_EQ(fs::status(target).permissions(), rw_r);
    EXPECT_EQ(Snapshot(dir.Path()).size(), 2u); // no temporary left
}

TEST(SettingsStore, NewFileFollowsTheUmask)
{
    TempDir dir;
    const mode_t old = ::umask(027);
    SaveKeyerSettings(dir.Path() / "k.INI", KeyerSettings {});
    ::umask(old);
    EXPECT_EQ(fs::status(dir.Path() / "k.INI").permissions(),
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Places where no save can succeed, even as root.
TEST(SettingsStore, UnusablePlacesGiveDefaultsAndSavesThereChangeNothing)
{
    TempDir dir;
    const fs::path& d = dir.Path();
    const std::string stored = "[parms]\nTone=1\n";
    fs::create_directory(d / "directory");
    WriteBytes(d / "directory" / "inside", stored);
    WriteBytes(d / "regular", stored);
    ::mkfifo((d / "fifo").c_str(), 0600); // reading it must not hang
    WriteBytes(d / "large", stored + std::string(2 << 20, ';')); // too large to be settings
    const auto before = Snapshot(d);
    for (const fs::path& file : { d / "directory", d / "regular" / "k.INI", d / "fifo", d / "large",
             fs::path("/proc/kestrin-none/k.INI") }) {
        EXPECT_EQ(LoadKeyerSettings(file), KeyerSettings {}) << file;
        SaveKeyerSettings(file, { 900, 12, 3 });
        EXPECT_EQ(Snapshot(d), before) << file;
    }
}

TEST(SettingsStore, FullDiskLeavesTheOldFileIntact)
{
    TempDir dir;
    const fs::path file = dir.Path() / "k.INI";
    const std::string old = "[parms]\nTone=700\n[notes]\n" + std::string(5000, 'x') + "\n";
    WriteBytes(file, old);
    // A file size limit fails writes the way a full disk does, for root too.
    rlimit limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    SaveKeyerSettings(file, KeyerSettings {});
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(Snapshot(dir.Path()).size(), 1u); // no temporary left
}

TEST(SettingsStore, FileLivesInXdgConfigHomeOrInDotConfig)
{
    const struct {
        const char* xdgConfigHome; // nullptr: unset
        const char* expected;
    } cases[] = {
        { "/xdg", "/xdg/kestrin.INI" },
        { nullptr, "/home/op/.config/kestrin.INI" },
        { "", "/home/op/.config/kestrin.INI" },
        { "relative", "/home/op/.config/kestrin.INI" },
    };
    ::setenv("HOME", "/home/op", 1);
    for (const auto& c : cases) {
        c.xdgConfigHome ? ::setenv("XDG_CONFIG_HOME", c.xdgConfigHome, 1)
                        : ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsFilePath("kestrin"), fs::path(c.expected)) << c.expected;
    }
}

TEST(SettingsStore, ExecutableBaseNameIsTheProgramsName)
{
    EXPECT_EQ(ExecutableBaseName(), "settings_tests");
}

} // namespace
} // namespace kestrin
