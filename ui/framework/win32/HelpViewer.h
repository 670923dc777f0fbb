#pragma once

#include <string>

namespace kestrin {

// A path as the Windows API takes it.
using HelpPath = std::wstring;

// Shows the HTML help file at a topic's anchor in the user's default browser, which keeps it
// usable while a dialog runs modally.
class HelpViewer {
public:
    // The help file for an executable: its path with ".html" in place of its extension. Empty
    // when it does not exist.
    static HelpPath FindHelpFile(const HelpPath& executablePath);
    // Opens file at the anchor named by topic ("0x20066"). False when the file does not exist or
    // no browser could be started.
    bool ShowTopic(const HelpPath& file, unsigned topic);
    // The browser is the user's: nothing to close.
    void Close() { }
};

} // namespace kestrin
