#include "settings/SettingsStore.h"

#include "settings/AtomicFile.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestrin {

// Failures show the three values, not the bytes of the struct.
void PrintTo(const KeyerSettings& s, std::ostream* out)
{
    *out << "{ tone " << s.tone << ", speed " << s.speed << ", gap " << s.gap << " }";
}

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
        // A character pad of at most 12 s, the sliders' longest (20 dots at 1 WPM), is kept.
        { "Speed=1\nGap=20\n", { 800, 1, 20 } },
        { "Speed=1\nGap=21\n", { 800, 1, 1 } },
        { "Gap=400\n", { 800, 20, 400 } }, // 400 x 60 / 2 = 12000
        { "Gap=401\n", { 800, 20, 1 } },
        { "Gap=1000\n", { 800, 20, 1 } }, // a minute of silence per character
        { "Gap=35791394\n", { 800, 20, 1 } }, // the largest whose pad fits an int: 12 days
        { "Gap=2147483647\n", { 800, 20, 1 } },
        { "Gap=25\n", { 800, 20, 25 } },
        { "Gap=4294967297\n", { 800, 20, 1 } },
        // A dot of at least 12 ms, twice the tone's 6 ms rise and fall: 100 WPM at most.
        { "Speed=100\nGap=1000\n", { 800, 100, 1000 } }, // 1000 x 12 / 2 = 6000
        { "Speed=101\n", { 800, 20, 1 } },
        { "Speed=2000\nGap=2147483647\n", { 800, 20, 1 } }, // dot time 0: silent and instant
        { "Speed=4294967297\n", { 800, 20, 1 } },
        { "Speed=-99999999999\n", { 800, 20, 1 } },
        // An audible pitch the 48 kHz output plays cleanly: 20 to 20000 Hz.
        { "Tone=20\n", { 20, 20, 1 } },
        { "Tone=19\n", { 800, 20, 1 } },
        { "Tone=5\n", { 800, 20, 1 } },
        { "Tone=20000\n", { 20000, 20, 1 } },
        { "Tone=20001\n", { 800, 20, 1 } },
        { "Tone=30000\n", { 800, 20, 1 } },
        { "Tone=-2147483648\n", { 800, 20, 1 } },
        { "Tone=2147483648\n", { 800, 20, 1 } },
        { "Tone=-99999999999\n", { 800, 20, 1 } },
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.Path() / "k.INI", "[parms]\n" + c.stored);
        const KeyerSettings loaded = LoadKeyerSettings(dir.Path() / "k.INI");
        EXPECT_EQ(loaded, c.loaded) << c.stored;
        // What any send needs: an audible tone, a dot of 12 ms or more, a pad of 0 to 12 s.
        EXPECT_GE(loaded.tone, 20);
        EXPECT_LE(loaded.tone, 20000);
        ASSERT_GE(loaded.speed, 1);
        EXPECT_GE(1200 / loaded.speed, 12) << c.stored;
        EXPECT_GE(loaded.gap, 0);
        EXPECT_LE(std::int64_t { loaded.gap } * (1200 / loaded.speed) / 2, 12000) << c.stored;
    }
}

TEST(SettingsStore, SaveKeepsOtherSectionsCommentsAndLineEndsByteForByte)
{
    TempDir dir;
    const fs::path file = dir.Path() / "k.INI";
    WriteBytes(file,
        "\xEF\xBB\xBF; mine\r\n[window]\r\nx=1\r\n\r\n[Parms]\r\n  speed = 12 ; fast "
        "\r\nColour=red\r\n"
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
    const std::string handEdited = "[PARMS]\n tone = \"800\"\nSPEED=20 ; fast\ngap = 01 \n";
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

// Runs job in a child process, as user uid when that is not this process's own (root only), and
// returns its wait status.
int InChildProcess(uid_t uid, const std::function<bool()>& job)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (uid != ::geteuid() && (::setgid(uid) != 0 || ::setuid(uid) != 0))
            ::_exit(3);
        ::_exit(job() ? 0 : 2);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return status;
}

TEST(SettingsStore, WritePastTheSizeLimitFailsLikeAFullDiskAndLeavesTheOldFile)
{
    TempDir dir;
    const fs::path file = dir.Path() / "k.INI";
    const std::string old = "[parms]\nTone=700\n[notes]\n" + std::string(5000, 'x') + "\n";
    WriteBytes(file, old);
    // The size limit stands for a quota or a full disk, for root too; without the program's
    // setting SIGXFSZ would end the child.
    const int status = InChildProcess(::geteuid(), [&] {
        LetWritesPastTheSizeLimitFail();
        const rlimit limit { 4096, RLIM_INFINITY };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return false;
        SaveKeyerSettings(file, KeyerSettings {});
        return true;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(Snapshot(dir.Path()).size(), 1u); // no temporary left
}

TEST(SettingsStore, ReadOnlyFileIsLeftAloneButRootWritesIt)
{
    constexpr uid_t kNobody = 65534;
    const bool root = ::geteuid() == 0;
    const struct {
        const char* who;
        uid_t uid;
        bool saved;
    } cases[] = {
        { "user", root ? kNobody : ::geteuid(), false },
        { "root", 0, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.who);
        if (c.uid == 0 && !root)
            continue;
        TempDir dir;
        const fs::path file = dir.Path() / "k.INI";
        WriteBytes(file, "[parms]\nTone=700\n");
        // The folder stays writable, as ~/.config is.
        if (root) {
            ASSERT_EQ(::chown(dir.Path().c_str(), c.uid, c.uid), 0);
            ASSERT_EQ(::chown(file.c_str(), c.uid, c.uid), 0);
        }
        ::chmod(file.c_str(), 0444);
        const int status = InChildProcess(c.uid, [&] {
            SaveKeyerSettings(file, { 900, 20, 1 });
            return true;
        });
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(LoadKeyerSettings(file).tone, c.saved ? 900 : 700);
        EXPECT_EQ(fs::status(file).permissions(), fs::perms(0444));
        EXPECT_EQ(Snapshot(dir.Path()).size(), 1u); // no temporary left
    }
}

TEST(SettingsStore, DanglingLinkGetsItsTargetWrittenWhereTheFolderExists)
{
    const struct {
        std::vector<std::pair<const char*, const char*>> links; // name, what it points at
        const char* target; // the file the save writes, or nullptr for none
    } cases[] = {
        { { { "k.INI", "dotfiles/kestrin.INI" } }, "dotfiles/kestrin.INI" },
        { { { "k.INI", "chain" }, { "chain", "dotfiles/kestrin.INI" } }, "dotfiles/kestrin.INI" },
        { { { "k.INI", "missing/kestrin.INI" } }, nullptr },
        { { { "k.INI", "loop" }, { "loop", "k.INI" } }, nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.links.front().second);
        TempDir dir;
        fs::create_directory(dir.Path() / "dotfiles");
        for (const auto& [name, to] : c.links)
            fs::create_symlink(to, dir.Path() / name);
        const auto before = Snapshot(dir.Path());
        SaveKeyerSettings(dir.Path() / "k.INI", KeyerSettings {});
        EXPECT_TRUE(fs::is_symlink(dir.Path() / "k.INI"));
        if (c.target == nullptr) {
            EXPECT_EQ(Snapshot(dir.Path()), before);
            continue;
        }
        EXPECT_EQ(ReadBytes(dir.Path() / c.target), "[parms]\nTone=800\nSpeed=20\nGap=1\n");
        EXPECT_EQ(Snapshot(dir.Path()).size(), before.size() + 1);
    }
}

// Little or big endian UTF-16 of text, after the byte-order mark.
std::string Utf16(std::u16string_view text, bool little)
{
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += little ? low : high;
        bytes += little ? high : low;
    }
    return bytes;
}

TEST(SettingsStore, Utf16FileIsReadAndSavedInItsOwnEncoding)
{
    // A lone surrogate and a stray last byte must survive a save, as every other character does.
    const std::u16string others = u"; caf\u00e9 \U0001F600 \xD800!\r\n[x]\r\ny=2\r\n";
    const struct {
        bool little;
        std::string stray;
        KeyerSettings saved;
        std::u16string after; // nothing: the file as it was
    } cases[] = {
        { true, "", { 600, 20, 1 }, u"[parms]\r\nTone=600\r\nSpeed=20\r\nGap=1\r\n" + others },
        { false, "", { 600, 20, 1 }, u"[parms]\r\nTone=600\r\nSpeed=20\r\nGap=1\r\n" + others },
        { true, "\x01", { 600, 25, 1 }, u"[parms]\r\nTone=600\r\nSpeed=25\r\nGap=1\r\n" + others },
        { true, "", { 600, 12, 3 }, {} },
        { false, "\x01", { 600, 12, 3 }, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.little << c.saved.speed);
        TempDir dir;
        const fs::path file = dir.Path() / "k.INI";
        const std::string before
            = Utf16(u"[parms]\r\nTone=600\r\nSpeed=12\r\nGap=3\r\n" + others, c.little) + c.stray;
        WriteBytes(file, before);
        EXPECT_EQ(LoadKeyerSettings(file), (KeyerSettings { 600, 12, 3 }));
        SaveKeyerSettings(file, c.saved);
        EXPECT_EQ(ReadBytes(file), c.after.empty() ? before : Utf16(c.after, c.little) + c.stray);
        EXPECT_EQ(LoadKeyerSettings(file), c.saved);
    }
}

TEST(SettingsStore, SaveWritesNothingTooLargeToReadBack)
{
    // The save adds "Tone=900\nSpeed=20\n" to a file that is mostly one long comment.
    const std::string head = "[parms]\nGap=3\n;", tail = "\n";
    constexpr std::size_t kAdded = 18;
    const struct {
        bool utf16;
        std::uintmax_t grownSize; // the file's size once the keys are added
        bool written;
    } cases[] = {
        { false, kMaxSmallFileBytes, true },
        { false, kMaxSmallFileBytes + 1, false },
        { true, kMaxSmallFileBytes, true },
        { true, kMaxSmallFileBytes + 2, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.utf16 << " " << c.grownSize);
        const std::size_t unit = c.utf16 ? 2 : 1, mark = c.utf16 ? 2 : 0;
        const std::string text = head
            + std::string((c.grownSize - mark) / unit - kAdded - head.size() - tail.size(), 'x')
            + tail;
        const std::string before
            = c.utf16 ? Utf16(std::u16string(text.begin(), text.end()), true) : text;
        TempDir dir;
        const fs::path file = dir.Path() / "k.INI";
        WriteBytes(file, before);
        ASSERT_EQ(LoadKeyerSettings(file), (KeyerSettings { 800, 20, 3 }));
        SaveKeyerSettings(file, { 900, 20, 3 });
        EXPECT_EQ(ReadBytes(file).size(), c.written ? c.grownSize : before.size());
        // Whatever the save left, the next start reads.
        EXPECT_EQ(LoadKeyerSettings(file), (KeyerSettings { c.written ? 900 : 800, 20, 3 }));
    }
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
