#include "settings/SettingsStore.h"
#include "tests/settings/SettingsTestSupport.h"

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace kestrin {
namespace {

using namespace testing_support;

const std::string kStored = "[parms]\r\nTone=500\r\n";

HANDLE OpenWithoutSharing(const fs::path& file)
{
    return CreateFileW(
        file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(SettingsStoreOnWindows, SaveReplacesTheFileWholeOrLeavesItAsItWas)
{
    const struct {
        const char* name;
        fs::path file; // under the test's folder
        bool exists;
        DWORD attributes; // given to an existing file
        bool heldWithoutSharing; // by another handle during the save
        bool saved;
    } cases[] = {
        { "new file", L"k.INI", false, 0, false, true },
        { "existing file", L"k.INI", true, FILE_ATTRIBUTE_NORMAL, false, true },
        { "read-only file", L"k.INI", true, FILE_ATTRIBUTE_READONLY, false, false },
        { "held open without sharing", L"k.INI", true, FILE_ATTRIBUTE_NORMAL, true, false },
        { "user name outside ASCII", fs::path(L"J\u00fcrgen \u20ac\u4e2d") / L"k.INI", true,
            FILE_ATTRIBUTE_NORMAL, false, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path file = dir.Path() / c.file;
        fs::create_directories(file.parent_path());
        if (c.exists) {
            WriteBytes(file, kStored);
            ASSERT_TRUE(SetFileAttributesW(file.c_str(), c.attributes));
        }
        HANDLE holder = c.heldWithoutSharing ? OpenWithoutSharing(file) : INVALID_HANDLE_VALUE;
        ASSERT_EQ(holder != INVALID_HANDLE_VALUE, c.heldWithoutSharing);

        SaveKeyerSettings(file, { 900, 12, 3 });
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);

        const std::string saved = c.exists ? "[parms]\r\nTone=900\r\nSpeed=12\r\nGap=3\r\n"
                                           : "[parms]\nTone=900\nSpeed=12\nGap=3\n";
        EXPECT_EQ(ReadBytes(file), c.saved ? saved : kStored);
        EXPECT_EQ(LoadKeyerSettings(file),
            (c.saved ? KeyerSettings { 900, 12, 3 } : KeyerSettings { 500, 20, 1 }));
        EXPECT_EQ(Snapshot(file.parent_path()).size(), 1u); // no temporary left
        (void)SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL); // so that it can go
    }
}

TEST(SettingsStoreOnWindows, FileLivesInAppDataAndAnOlderOneInTheWindowsDirectoryIsRead)
{
    const fs::path appData = _wgetenv(L"APPDATA");
    wchar_t windows[MAX_PATH + 1];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH + 1), 0u);
    EXPECT_EQ(SettingsFilePath("kestrin"), appData / L"kestrin.INI");
    EXPECT_EQ(OlderSettingsFilePath("kestrin"), fs::path(windows) / L"kestrin.INI");

    // Where a user has only the older file, it is read, and the save goes to the new place.
    TempDir dir;
    const fs::path current = dir.Path() / L"AppData" / L"kestrin.INI";
    const fs::path older = dir.Path() / L"Windows" / L"kestrin.INI";
    fs::create_directories(older.parent_path());
    WriteBytes(older, "[parms]\r\nSpeed=12\r\n");
    EXPECT_EQ(LoadKeyerSettings(current, older), (KeyerSettings { 800, 12, 1 }));
    SaveKeyerSettings(current, { 800, 12, 1 });
    EXPECT_EQ(ReadBytes(older), "[parms]\r\nSpeed=12\r\n");
    EXPECT_EQ(ReadBytes(current), "[parms]\nTone=800\nSpeed=12\nGap=1\n");
    // Once the current file exists, the older one is no longer read.
    WriteBytes(current, "[parms]\r\nSpeed=7\r\n");
    EXPECT_EQ(LoadKeyerSettings(current, older).speed, 7);
}

} // namespace
} // namespace kestrin
