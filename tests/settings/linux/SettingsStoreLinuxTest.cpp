#include "settings/AtomicFile.h"
#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestSupport.h"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestrin {
namespace {

using namespace testing_support;

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

} // namespace
} // namespace kestrin
