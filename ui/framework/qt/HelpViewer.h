#pragma once

#include <QPointer>
#include <QString>
#include <QTextBrowser>

namespace kestrin {

// A path as Qt takes it.
using HelpPath = QString;

// Shows the HTML help file at a topic's anchor in a window of its own, with no owner, so that it
// stays usable while a dialog runs modally. One viewer window serves every request.
class HelpViewer {
public:
    ~HelpViewer();

    // The help file for an executable: its path with ".html" in place of any extension, or, for
    // an installed program, share/kestrin/<name>.html (or kestrin.html) beside its bin/ folder.
    // Empty when none exists.
    static QString FindHelpFile(const QString& executablePath);

    // Opens file at the anchor named by topic ("0x20066"). False when the file cannot be read.
    bool ShowTopic(const QString& file, unsigned topic);

    QTextBrowser* Window() const { return m_browser; }

    // Closes and destroys the viewer window, if any; the next request opens a new one.
    void Close();

private:
    QPointer<QTextBrowser> m_browser;
};

} // namespace kestrin
