#include "ui/windows/SenderApp.h"

#include "resources/Resource.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/windows/AboutDlg.h"
#include "ui/windows/SenderDlg.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace kestrin {
namespace {

using test::DeliverPendingEvents;
using test::ScopedModalLoop;

// The application with its one message box recorded instead of shown.
class RecordingApp : public CSenderApp {
public:
    std::vector<std::pair<QString, QString>> warnings;

protected:
    void ShowWarning(const QString& caption, const QString& text) override
    {
        warnings.emplace_back(caption, text);
    }
};

// Runs the application's instance initialisation with `drive` as the main window's modal loop.
bool RunApp(RecordingApp& app, const std::function<void(CDialog&)>& drive)
{
    ScopedModalLoop loop([&](CDialog& running) {
        DeliverPendingEvents();
        drive(running);
    });
    return app.InitInstance();
}

TEST(SenderApp, RunsTheMainWindowAsItsOnlyWindowAndThenEnds)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    RecordingApp app;
    CDialog* mainDuring = nullptr;
    EXPECT_FALSE(RunApp(app, [&](CDialog& d) {
        mainDuring = app.GetMainWnd();
        EXPECT_EQ(d.TemplateId(), IDD_MAIN);
        QTest::keyClick(d.GetDlgItem(IDC_TEXT), Qt::Key_Escape);
    }));
    EXPECT_NE(mainDuring, nullptr);
    EXPECT_EQ(app.GetMainWnd(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(config.filePath("ui_tests.INI")));
    EXPECT_TRUE(app.warnings.empty());
}

TEST(SenderApp, HelpOpensTheTopicOfTheFocusedDialogOrSaysItFailed)
{
    QTemporaryDir dir;
    const QString help = dir.filePath("kestrin.html");
    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html><body><h1 id=\"0x20066\">Main</h1><p>text</p>"
               "<h1 id=\"0x20064\">About</h1></body></html>");
    file.close();

    const struct {
        const char* helpFile;
        std::vector<QString> anchors;
        size_t warnings;
    } cases[] = {
        { "kestrin.html", { "0x20066", "0x20064" }, 0 },
        { "missing.html", {}, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.helpFile);
        RecordingApp app;
        app.SetHelpFile(dir.filePath(c.helpFile));
        std::vector<QString> anchors;
        RunApp(app, [&](CDialog& d) {
            QTest::keyClick(d.GetDlgItem(d.TemplateId() == IDD_MAIN ? IDC_TEXT : IDOK), Qt::Key_F1);
            if (QTextBrowser* viewer = app.Help().Window()) {
                anchors.push_back(viewer->source().fragment());
                EXPECT_TRUE(viewer->isVisible());
            }
            if (d.TemplateId() == IDD_MAIN) {
                CAboutDlg().DoModal();
                d.EndDialog(IDCANCEL);
            } else {
                d.EndDialog(IDOK);
            }
        });
        EXPECT_EQ(anchors, c.anchors);
        ASSERT_EQ(app.warnings.size(), c.warnings);
        for (const auto& [caption, text] : app.warnings) {
            EXPECT_EQ(caption, "ui_tests");
            EXPECT_EQ(text, "Failed to launch help.");
        }
    }
}

TEST(SenderApp, HelpFileIsFoundBesideTheProgramOrInItsInstalledShare)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath("build");
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/kestrin");
    for (const char* name : { "build/kestrin.html", "usr/share/kestrin/kestrin.html" }) {
        QFile f(root.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(HelpViewer::FindHelpFile(root.filePath("build/kestrin")),
        root.filePath("build/kestrin.html"));
    EXPECT_EQ(HelpViewer::FindHelpFile(root.filePath("usr/bin/kestrin")),
        root.filePath("usr/share/kestrin/kestrin.html"));
    EXPECT_EQ(HelpViewer::FindHelpFile(root.filePath("usr/bin/morse")),
        root.filePath("usr/share/kestrin/kestrin.html"));
    EXPECT_EQ(HelpViewer::FindHelpFile(root.filePath("usr/kestrin")), QString());
}

} // namespace
} // namespace kestrin
