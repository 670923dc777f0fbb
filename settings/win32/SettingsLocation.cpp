#include "settings/SettingsStore.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace kestrin {

namespace {

std::filesystem::path FileName(std::string_view executableBaseName)
{
    // The base name comes from the module's wide name (see ExecutableBaseName) as UTF-8.
    const auto* utf8 = reinterpret_cast<const char8_t*>(executableBaseName.data());
    return std::filesystem::path(std::u8string(utf8, executableBaseName.size()) + u8".INI");
}

} // namespace

std::filesystem::path SettingsFilePath(std::string_view executableBaseName)
{
    // No current Windows lets a normal user write to the Windows directory: the file lives with
    // the user's other roaming settings.
    PWSTR folder = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder)))
        result = std::filesystem::path(folder) / FileName(executableBaseName);
    CoTaskMemFree(folder); // allocated even when the call fails
    return result;
}

std::filesystem::path OlderSettingsFilePath(std::string_view executableBaseName)
{
    wchar_t folder[MAX_PATH + 1];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return {};
    return std::filesystem::path(std::wstring(folder, length)) / FileName(executableBaseName);
}

std::string ExecutableBaseName()
{
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length
            = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (length == 0)
            return "kestrin";
        if (length < module.size()) {
            module.resize(length);
            break;
        }
        module.resize(module.size() * 2); // the name was cut short
    }
    const std::u8string stem = std::filesystem::path(module).stem().u8string();
    return stem.empty() ? "kestrin" : std::string(stem.begin(), stem.end());
}

} // namespace kestrin
