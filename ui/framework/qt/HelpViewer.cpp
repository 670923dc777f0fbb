#include "ui/framework/qt/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

namespace kestrin {

HelpViewer::~HelpViewer()
{
    // A widget cannot be destroyed once Qt's application object is gone: then it is let go.
    if (QCoreApplication::instance() != nullptr)
        Close();
}

void HelpViewer::Close()
{
    delete m_browser;
}

QString HelpViewer::FindHelpFile(const QString& executablePath)
{
    const QFileInfo exe(executablePath);
    const QString name = exe.completeBaseName() + QStringLiteral(".html");
    const QDir share(exe.absolutePath() + QStringLiteral("/../share/kestrin"));
    // The installed help keeps its name when the program is started under another one.
    const QString candidates[] = {
        exe.dir().filePath(name),
        share.filePath(name),
        share.filePath(QStringLiteral("kestrin.html")),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return {};
}

bool HelpViewer::ShowTopic(const QString& file, unsigned topic)
{
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile() || !info.isReadable())
        return false;
    if (!m_browser) {
        m_browser = new QTextBrowser;
        m_browser->setWindowTitle(QStringLiteral("Kestrin Help"));
        m_browser->setOpenExternalLinks(true);
        m_browser->resize(560, 480);
    }
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setFragment(QStringLiteral("0x%1").arg(topic, 0, 16));
    m_browser->setSource(url);
    if (m_browser->document()->isEmpty())
        return false;
    m_browser->show();
    m_browser->raise();
    m_browser->activateWindow();
    return true;
}

} // namespace kestrin
