#include "ui/framework/win32/HelpViewer.h"

#include "ui/framework/win32/Win32.h"

#include <cwchar>
#include <filesystem>
#include <shellapi.h>
#include <shlwapi.h>
#include <system_error>

namespace kestrin {

HelpPath HelpViewer::FindHelpFile(const HelpPath& executablePath)
{
    std::filesystem::path file(executablePath);
    file.replace_extension(L".html");
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) ? file.wstring() : HelpPath();
}

bool HelpViewer::ShowTopic(const HelpPath& file, unsigned topic)
{
    std::error_code error;
    if (file.empty() || !std::filesystem::is_regular_file(file, error))
        return false;
    // A file URL, so that the browser is told the anchor: file:///C:/dir/kestrin.html#0x20066.
    std::wstring url = L"file:///";
    for (wchar_t c : std::filesystem::path(file).generic_wstring())
        url += c == L' ' ? std::wstring(L"%20") : std::wstring(1, c);
    wchar_t anchor[16] = {};
    std::swprintf(anchor, 16, L"#0x%x", topic);
    url += anchor;
    // Opening the address itself loses the anchor (a file: address names a file, which has none),
    // so the browser is given it: the one that opens .html files, else the one for web addresses
    // (Wine registers only that one and the "htmlfile" class).
    wchar_t browser[MAX_PATH] = {};
    bool found = false;
    for (const wchar_t* kind : { L".html", L"http", L"htmlfile" }) {
        DWORD length = MAX_PATH;
        if (AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, kind, L"open", browser, &length)
            == S_OK) {
            found = true;
            break;
        }
    }
    if (!found)
        return false;
    const std::wstring argument = L"\"" + url + L"\"";
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", browser, argument.c_str(), nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace kestrin
