#include "ui/windows/SenderDlg.h"

#include "engine/KeyElement.h"
#include "resources/Resource.h"
#include "tests/ui/TestApp.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/framework/qt/LampPanel.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace kestrin {
namespace {

using test::RunDriven;
using test::TestApp;

// A clock that moves only when slept on and lets a test look at the window during each wait.
class StepClock : public Sleeper {
public:
    int nowMs = 0;
    std::function<void(int ms)> onSleep;
    void Sleep(int ms) override
    {
        if (onSleep)
            onSleep(ms);
        nowMs += ms;
    }
};

class InlineStarter : public WorkerStarter {
public:
    bool Start(std::function<void()> job) override
    {
        job();
        return true;
    }
};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A main window with its own settings folder and a virtual clock, recording the tones it sounds.
struct Rig {
    QTemporaryDir config;
    StepClock clock;
    InlineStarter starter;
    std::vector<std::pair<int, int>> tones; // frequency, duration
    TestApp app;

    Rig()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        app.SetMainWnd(nullptr);
    }
    KeyerServices Services()
    {
        return { clock, starter, [this](int f, int d, auto) { tones.emplace_back(f, d); } };
    }
    std::filesystem::path SettingsFile() const
    {
        return std::filesystem::path(config.path().toStdString()) / "ui_tests.INI";
    }
    void Store(const std::string& text) const { std::ofstream(SettingsFile()) << text; }
};

QSlider* SliderOf(CDialog& d, int id)
{
    return qobject_cast<QSlider*>(d.GetDlgItem(id));
}

void ReleaseMouseOn(QSlider* slider, int x)
{
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(x, slider->height() / 2));
}

TEST(SenderDlg, FirstRunShowsTheDefaultsTheInitialTextAndFocusOnGo)
{
    Rig rig;
    CSenderDlg dlg(rig.Services());
    RunDriven(dlg, [&](CDialog& d) {
        EXPECT_EQ(d.GetDlgItemText(IDC_TONE_LABEL), "Tone: 800 Hz");
        EXPECT_EQ(d.GetDlgItemText(IDC_SPEED_LABEL), "Speed: 20 WPM");
        EXPECT_EQ(d.GetDlgItemText(IDC_GAP_LABEL), "Char.gap: 1 dots");
        EXPECT_EQ(
            d.GetDlgItemText(IDC_TEXT), "Type your text to send here and click the Go! button.");
        EXPECT_EQ(QApplication::focusWidget(), d.GetDlgItem(IDC_GO));
        EXPECT_EQ(SliderOf(d, IDC_TONE_SLIDER)->value(), 800);
        EXPECT_EQ(SliderOf(d, IDC_SPEED_SLIDER)->maximum(), 25);
        EXPECT_EQ(SliderOf(d, IDC_GAP_SLIDER)->minimum(), 1);
        EXPECT_FALSE(d.GetSafeWidget()->windowIcon().isNull());
        d.EndDialog(IDCANCEL);
    });
    // Destroying the window saved the settings.
    EXPECT_EQ(ReadFile(rig.SettingsFile()), "[parms]\nTone=800\nSpeed=20\nGap=1\n");
}

TEST(SenderDlg, StoredValuesOutsideTheSliderRangesAreShownAtTheEndsAndKept)
{
    Rig rig;
    rig.Store("[parms]\nTone=2000\nSpeed=40\nGap=0\n");
    CSenderDlg dlg(rig.Services());
    RunDriven(dlg, [&](CDialog& d) {
        EXPECT_EQ(SliderOf(d, IDC_TONE_SLIDER)->value(), 1000);
        EXPECT_EQ(SliderOf(d, IDC_SPEED_SLIDER)->value(), 25);
        EXPECT_EQ(SliderOf(d, IDC_GAP_SLIDER)->value(), 1);
        EXPECT_EQ(d.GetDlgItemText(IDC_TONE_LABEL), "Tone: 2000 Hz");
        EXPECT_EQ(d.GetDlgItemText(IDC_SPEED_LABEL), "Speed: 40 WPM");
        EXPECT_EQ(d.GetDlgItemText(IDC_GAP_LABEL), "Char.gap: 0 dots");
        d.SetDlgItemText(IDC_TEXT, "E");
        QTest::mouseClick(d.GetDlgItem(IDC_GO), Qt::LeftButton);
        d.EndDialog(IDCANCEL);
    });
    // Speed 40: a 30 ms dot at 2000 Hz; nothing was released, so nothing changes in the file.
    EXPECT_EQ(rig.tones, (std::vector<std::pair<int, int>> { { 2000, 30 } }));
    EXPECT_EQ(ReadFile(rig.SettingsFile()), "[parms]\nTone=2000\nSpeed=40\nGap=0\n");
}

TEST(SenderDlg, SlidersAreTakenOnlyWhenTheMouseLetsGo)
{
    Rig rig;
    CSenderDlg dlg(rig.Services());
    RunDriven(dlg, [&](CDialog& d) {
        QSlider* speed = SliderOf(d, IDC_SPEED_SLIDER);
        QTest::keyClick(speed, Qt::Key_Home); // keyboard alone: not taken
        EXPECT_EQ(speed->value(), 1);
        EXPECT_EQ(d.GetDlgItemText(IDC_SPEED_LABEL), "Speed: 20 WPM");
        EXPECT_EQ(dlg.Settings().speed, 20);
        ReleaseMouseOn(speed, speed->width() - 2); // pages towards the right end, then taken
        const int taken = speed->value();
        EXPECT_GT(taken, 1);
        EXPECT_EQ(dlg.Settings().speed, taken);
        EXPECT_EQ(d.GetDlgItemText(IDC_SPEED_LABEL), QString::asprintf("Speed: %i WPM", taken));

        QSlider* tone = SliderOf(d, IDC_TONE_SLIDER);
        QTest::keyClick(tone, Qt::Key_End);
        QSlider* gap = SliderOf(d, IDC_GAP_SLIDER);
        QTest::keyClick(gap, Qt::Key_End);
        ReleaseMouseOn(gap, gap->width() - 2);
        EXPECT_EQ(dlg.Settings().gap, 20);
        EXPECT_EQ(d.GetDlgItemText(IDC_GAP_LABEL), "Char.gap: 20 dots");
        EXPECT_EQ(dlg.Settings().tone, 800); // its keyboard move waits for its own release
        ReleaseMouseOn(tone, tone->width() - 2);
        EXPECT_EQ(dlg.Settings().tone, 1000);
        EXPECT_EQ(d.GetDlgItemText(IDC_TONE_LABEL), "Tone: 1000 Hz");

        speed->setValue(25);
        ReleaseMouseOn(speed, speed->width() - 2);
        d.SetDlgItemText(IDC_TEXT, "T");
        QTest::mouseClick(d.GetDlgItem(IDC_GO), Qt::LeftButton);
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(rig.tones, (std::vector<std::pair<int, int>> { { 1000, 144 } }));
    EXPECT_EQ(ReadFile(rig.SettingsFile()), "[parms]\nTone=1000\nSpeed=25\nGap=20\n");
}

TEST(SenderDlg, EscapeEnterAndTheCloseButtonEndTheWindowAndSave)
{
    const struct {
        const char* way;
        std::function<void(CDialog&)> close;
        LResult result;
    } cases[] = {
        { "Escape in the text box",
            [](CDialog& d) { QTest::keyClick(d.GetDlgItem(IDC_TEXT), Qt::Key_Escape); }, IDCANCEL },
        { "Enter on a slider",
            [](CDialog& d) { QTest::keyClick(d.GetDlgItem(IDC_GAP_SLIDER), Qt::Key_Return); },
            IDOK },
        { "close button", [](CDialog& d) { d.GetSafeWidget()->close(); }, IDCANCEL },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        Rig rig;
        rig.Store("; mine\n[parms]\nSpeed=12\n");
        CSenderDlg dlg(rig.Services());
        EXPECT_EQ(RunDriven(dlg, c.close), c.result);
        EXPECT_EQ(ReadFile(rig.SettingsFile()), "; mine\n[parms]\nSpeed=12\nTone=800\nGap=1\n");
        EXPECT_TRUE(rig.tones.empty());
    }
}

TEST(SenderDlg, EnterInTheTextBoxBreaksTheLineAndOnGoSends)
{
    Rig rig;
    CSenderDlg dlg(rig.Services());
    const LResult result = RunDriven(dlg, [&](CDialog& d) {
        auto* text = qobject_cast<QPlainTextEdit*>(d.GetDlgItem(IDC_TEXT));
        text->setPlainText("E");
        text->moveCursor(QTextCursor::End);
        QTest::keyClick(text, Qt::Key_Return);
        text->insertPlainText(QString::fromUtf8("\xE2\x82\xAC\xC2\xA0") + "e");
        EXPECT_EQ(dlg.Text(), "E\n\u20AC\u00A0e");
        QTest::keyClick(d.GetDlgItem(IDC_GO), Qt::Key_Return);
        d.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    // "€" has no row and is never turned into one that has ("?" would add six elements); a
    // no-break space is no space, so it adds no word pause.
    EXPECT_EQ(rig.tones, (std::vector<std::pair<int, int>> { { 800, 60 }, { 800, 60 } }));
    EXPECT_EQ(rig.clock.nowMs, 2 * (30 + 120 + 30));
}

// The lamp as really painted at each wait, and how many drawings reached the screen by then: only
// those that change pixels do, so the dark square before each element is never sent.
TEST(SenderDlg, LampOnScreenIsDarkLitAndDarkAroundEachElementDrawnOnlyWhenItChanges)
{
    Rig rig;
    CSenderDlg dlg(rig.Services());
    struct Seen {
        int ms;
        QRgb centre;
        int screenDraws;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    rig.clock.onSleep = [&](int ms) {
        QWidget* window = dlg.GetSafeWidget();
        LampPanel* lamp = dlg.Lamp();
        const QPoint centre = lamp->mapTo(window, lamp->Scaled(kLampDisc).center());
        const QImage shot = window->screen()->grabWindow(window->winId()).toImage();
        seen.push_back({ ms, shot.pixel(centre * shot.devicePixelRatio()), lamp->ScreenDraws() });
    };
    RunDriven(dlg, [&](CDialog& d) {
        EXPECT_FALSE(dlg.Lamp()->IsLit());
        d.SetDlgItemText(IDC_TEXT, "EE");
        QTest::mouseClick(d.GetDlgItem(IDC_GO), Qt::LeftButton);
        EXPECT_FALSE(dlg.Lamp()->IsLit());
        EXPECT_EQ(dlg.Lamp()->accessibleDescription(), "dark");
        d.EndDialog(IDCANCEL);
    });
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    EXPECT_EQ(seen,
        (std::vector<Seen> {
            { 30, black, 0 }, // character pad, before any drawing: the panel's face
            { 30, black, 0 }, // leading element pad: dark on dark sends nothing
            { 60, white, 1 }, // the dot
            { 30, black, 2 }, // trailing element pad
            { 30, black, 2 }, // character pad
            { 30, black, 2 }, // the second character's pad
            { 30, black, 2 }, // leading element pad
            { 60, white, 3 }, // the dot
            { 30, black, 4 }, // trailing element pad
            { 30, black, 4 }, // character pad
        }));
}

// A right click outside the text box pops up the window's menu, which ends with a separator and
// "&About Kestrin..."; choosing that opens the About box, as the "About" button does.
TEST(SenderDlg, AboutOpensFromTheButtonAndFromTheContextMenuItem)
{
    Rig rig;
    CSenderDlg dlg(rig.Services());
    rig.app.SetMainWnd(&dlg);
    std::vector<int> opened;
    std::vector<QString> menuTexts;
    test::ScopedModalLoop loop([&](CDialog& running) {
        test::DeliverPendingEvents();
        if (&running != &dlg) {
            opened.push_back(running.TemplateId());
            EXPECT_FALSE(dlg.IsWindowEnabled());
            running.EndDialog(IDOK);
            return;
        }
        QTest::mouseClick(dlg.GetDlgItem(IDC_ABOUT), Qt::LeftButton);
        // The menu runs a loop of its own: it is read and its item chosen from inside it.
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (const QAction* action : menu->actions())
                menuTexts.push_back(action->isSeparator() ? "-" : action->text());
            QTest::keyClick(menu, Qt::Key_A);
        });
        // Through the window, as the platform delivers a click: that makes the menu request.
        QWidget* label = dlg.GetDlgItem(IDC_GAP_LABEL);
        QTest::mouseClick(dlg.GetSafeWidget()->windowHandle(), Qt::RightButton, {},
            label->mapTo(dlg.GetSafeWidget(), label->rect().center()));
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(opened, (std::vector<int> { IDD_ABOUTBOX, IDD_ABOUTBOX }));
    ASSERT_GE(menuTexts.size(), 2u);
    EXPECT_EQ(menuTexts[menuTexts.size() - 2], "-");
    EXPECT_EQ(menuTexts.back(), "&About Kestrin...");
}

} // namespace
} // namespace kestrin
