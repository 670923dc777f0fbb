#include "ui/windows/AboutDlg.h"

#include "tests/ui/TestApp.h"
#include "tests/ui/UiTestSupport.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace kestrin {
namespace {

using test::DeliverPendingEvents;
using test::ScopedModalLoop;
using test::TestApp;

// Runs `inAbout` inside an About box opened over a running main-template window.
struct AboutOverMain {
    TestApp app;
    CDialog main { IDD_MAIN };
    LResult aboutResult = 0;
    bool ownerEnabledDuring = true;
    bool ownerEnabledAfter = false;
    bool ownerActiveAfter = false;
    bool aboutGoneAfter = false;

    void Run(const std::function<void(CAboutDlg&)>& inAbout)
    {
        app.SetMainWnd(&main);
        ScopedModalLoop loop([&](CDialog& running) {
            DeliverPendingEvents();
            if (&running == &main) {
                CAboutDlg about;
                aboutResult = about.DoModal();
                DeliverPendingEvents();
                ownerEnabledAfter = main.IsWindowEnabled();
                ownerActiveAfter = QApplication::activeWindow() == main.GetSafeWidget();
                aboutGoneAfter = about.GetSafeWidget() == nullptr;
                return;
            }
            ownerEnabledDuring = main.IsWindowEnabled();
            inAbout(static_cast<CAboutDlg&>(running));
        });
        main.DoModal();
    }
};

TEST(AboutDlg, EachWayOfDismissalEndsItAndGivesTheFocusBackToTheOwner)
{
    const struct {
        const char* way;
        std::function<void(CAboutDlg&)> dismiss;
        LResult result;
    } cases[] = {
        { "OK button",
            [](CAboutDlg& about) { QTest::mouseClick(about.GetDlgItem(IDOK), Qt::LeftButton); },
            IDOK },
        { "Enter on OK",
            [](CAboutDlg& about) { QTest::keyClick(about.GetDlgItem(IDOK), Qt::Key_Return); },
            IDOK },
        { "Enter elsewhere",
            [](CAboutDlg& about) { QTest::keyClick(about.GetSafeWidget(), Qt::Key_Enter); }, IDOK },
        { "Escape",
            [](CAboutDlg& about) { QTest::keyClick(about.GetDlgItem(IDOK), Qt::Key_Escape); },
            IDCANCEL },
        { "close button", [](CAboutDlg& about) { about.GetSafeWidget()->close(); }, IDCANCEL },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        AboutOverMain rig;
        rig.Run(c.dismiss);
        EXPECT_EQ(rig.aboutResult, c.result);
        EXPECT_FALSE(rig.ownerEnabledDuring);
        EXPECT_TRUE(rig.ownerEnabledAfter);
        EXPECT_TRUE(rig.ownerActiveAfter);
        EXPECT_TRUE(rig.aboutGoneAfter);
    }
}

TEST(AboutDlg, ShowsIconNameVersionAndMakerLinesWithOkAsDefault)
{
    TestApp app;
    CAboutDlg about;
    QStringList texts;
    bool hasIcon = false;
    QPushButton* ok = nullptr;
    test::ScopedModalLoop loop([&](CDialog& d) {
        DeliverPendingEvents();
        for (const QLabel* label : d.GetSafeWidget()->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                hasIcon = label->size() == QSize(32, 32);
            else
                texts << label->text();
        }
        ok = qobject_cast<QPushButton*>(d.GetDlgItem(IDOK));
        EXPECT_TRUE(ok != nullptr && ok->isDefault() && ok->hasFocus());
        EXPECT_EQ(d.GetSafeWidget()->windowTitle(), "About Kestrin");
    });
    EXPECT_EQ(about.DoModal(), -1); // the loop returned without ending it
    EXPECT_TRUE(hasIcon);
    ASSERT_EQ(texts.size(), 4);
    EXPECT_EQ(texts[0], "Kestrin Version 1.0");
    for (const QString& line : texts)
        EXPECT_FALSE(line.isEmpty());
}

} // namespace
} // namespace kestrin
