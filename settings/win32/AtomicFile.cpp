#include "settings/AtomicFile.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

namespace kestrin {

namespace {

// Closes the handle when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle)
        : m_handle(handle)
    { }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            (void)CloseHandle(m_handle); // nothing to save any more: only read or already failed
    }
    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Closes now and says whether it went well.
    [[nodiscard]] bool Close()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

bool WriteAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// A name beside the file that no other save, of this process or another, uses at the moment.
std::filesystem::path TemporaryName(const std::filesystem::path& file, int attempt)
{
    static std::atomic<unsigned> counter { 0 };
    std::wstring name = L"." + file.filename().wstring() + L".tmp-"
        + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L"-"
        + std::to_wstring(attempt);
    return file.parent_path() / name;
}

} // namespace

void LetWritesPastTheSizeLimitFail()
{
    // Windows has no file size signal: a write past a quota fails like any other.
}

FileRead ReadSmallFile(const std::filesystem::path& file)
{
    // Others may read, write and even delete it meanwhile, as with any file an editor has open.
    FileHandle handle(CreateFileW(file.c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.Valid()) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return { missing ? FileRead::Outcome::Missing : FileRead::Outcome::Unreadable, {} };
    }
    LARGE_INTEGER size {};
    if (GetFileType(handle.Get()) != FILE_TYPE_DISK || !GetFileSizeEx(handle.Get(), &size)
        || size.QuadPart < 0 || static_cast<std::uintmax_t>(size.QuadPart) > kMaxSmallFileBytes)
        return { FileRead::Outcome::Unreadable, {} };

    FileRead result { FileRead::Outcome::Read, {} };
    char buffer[8192];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.Get(), buffer, sizeof buffer, &got, nullptr)
            || result.bytes.size() + got > kMaxSmallFileBytes)
            return { FileRead::Outcome::Unreadable, {} };
        if (got == 0)
            return result;
        result.bytes.append(buffer, got);
    }
}

bool ReplaceFileAtomically(const std::filesystem::path& file, std::string_view bytes)
{
    if (file.empty() || !file.has_filename())
        return false;
    const DWORD attributes = GetFileAttributesW(file.c_str());
    const bool hadOld = attributes != INVALID_FILE_ATTRIBUTES;
    if (hadOld && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    // A file the user made read-only is pinned.
    if (hadOld && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return false;

    std::filesystem::path temporary;
    HANDLE raw = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && raw == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryName(file, attempt);
        raw = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (raw == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (raw == INVALID_HANDLE_VALUE)
        return false;
    FileHandle handle(raw);

    bool ok = WriteAll(handle.Get(), bytes) && FlushFileBuffers(handle.Get());
    ok = handle.Close() && ok;
    if (ok && hadOld) {
        // Keeps the old file's attributes, owner and security; fails, leaving the old file whole,
        // while another program holds it open without sharing.
        ok = ReplaceFileW(file.c_str(), temporary.c_str(), nullptr,
                 REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)
            != 0;
    } else if (ok) {
        ok = MoveFileExW(temporary.c_str(), file.c_str(),
                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
            != 0;
    }
    if (!ok)
        (void)DeleteFileW(temporary.c_str()); // the old file is untouched; only the attempt goes
    return ok;
}

} // namespace kestrin
