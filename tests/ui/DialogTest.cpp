#include "ui/framework/qt/Dialog.h"

#include "tests/ui/TestApp.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/framework/DataExchange.h"
#include "ui/framework/qt/DialogKeys.h"
#include "ui/framework/qt/DialogUnits.h"
#include "ui/framework/qt/SliderCtrl.h"
#include "ui/windows/AboutDlg.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace kestrin {
namespace {

using test::DeliverPendingEvents;
using test::RunDriven;
using test::ScopedModalLoop;
using test::TestApp;

constexpr int kProbeCommand = 4000;

// A window on the main template whose map takes some of what the main window takes, and
// logs what reaches it.
class MapDlg : public CDialog {
public:
    std::vector<std::string> log;
    CSliderCtrl gapSlider;
    bool focusFirst = true;
    std::function<void(MapDlg&)> onInit;

    MapDlg()
        : CDialog(IDD_MAIN)
    { }

    const MessageMap& GetMessageMap() const override
    {
        static constexpr MessageMapEntry kEntries[] = {
            OnSysCommandMessage<&MapDlg::OnSysCommand>(),
            OnBnClicked<&MapDlg::OnGo>(IDC_GO),
            OnNotify<&MapDlg::OnReleasedGap>(kNmReleasedCapture, IDC_GAP_SLIDER),
            OnDestroyMessage<&MapDlg::OnDestroy>(),
        };
        static const MessageMap kMap { &CDialog::GetMessageMap(), kEntries };
        return kMap;
    }

protected:
    void DoDataExchange(CDataExchange& dx) override { dx.Control(IDC_GAP_SLIDER, gapSlider); }

    bool OnInitDialog() override
    {
        CDialog::OnInitDialog();
        gapSlider.SetRange(1, 20);
        if (onInit)
            onInit(*this);
        return focusFirst;
    }

    void OnGo() { log.push_back("go"); }

    void OnReleasedGap(const NotifyHeader& header)
    {
        log.push_back("released " + std::to_string(header.idFrom) + " at "
            + std::to_string(gapSlider.GetPos()));
    }

    void OnSysCommand(unsigned id)
    {
        if ((id & 0xFFF0) == IDM_ABOUTBOX)
            log.push_back("about");
        else
            CDialog::OnSysCommand(id);
    }

    void OnDestroy()
    {
        CDialog::OnDestroy();
        log.push_back(GetDlgItem(IDC_GO) != nullptr ? "destroy with controls" : "destroy");
    }
};

// Takes "Go !" itself; everything else as its base.
class DerivedMapDlg : public MapDlg {
public:
    const MessageMap& GetMessageMap() const override
    {
        static constexpr MessageMapEntry kEntries[] = {
            OnBnClicked<&DerivedMapDlg::OnGoAgain>(IDC_GO),
        };
        static const MessageMap kMap { &MapDlg::GetMessageMap(), kEntries };
        return kMap;
    }

private:
    void OnGoAgain() { log.push_back("derived go"); }
};

int FocusedId(const CDialog& dialog)
{
    const QWidget* focus = QApplication::focusWidget();
    for (int id : { IDC_GO, IDC_TEXT, IDC_TONE_SLIDER, IDC_SPEED_SLIDER, IDC_GAP_SLIDER, IDC_ABOUT,
             IDC_LAMP }) {
        if (focus != nullptr && dialog.GetDlgItem(id) == focus)
            return id;
    }
    return 0;
}

TEST(Dialog, EveryControlLiesInTheWindowAndShowsItsWidestTextWhole)
{
    // The main window's labels at their widest values; the About box as the template has it.
    const struct {
        int dialog;
        std::vector<std::pair<int, const char*>> texts;
    } cases[] = {
        { IDD_MAIN,
            { { IDC_TONE_LABEL, "Tone: 1000 Hz" }, { IDC_SPEED_LABEL, "Speed: 25 WPM" },
                { IDC_GAP_LABEL, "Char.gap: 20 dots" } } },
        { IDD_ABOUTBOX, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialog);
        CDialog dialog(c.dialog);
        RunDriven(dialog, [&](CDialog& d) {
            for (const auto& [id, text] : c.texts)
                d.SetDlgItemText(id, text);
            const QWidget* window = d.GetSafeWidget();
            for (const QWidget* control :
                window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                EXPECT_TRUE(window->rect().contains(control->geometry()))
                    << control->metaObject()->className();
                QString text;
                if (const auto* label = qobject_cast<const QLabel*>(control))
                    text = label->text();
                else if (const auto* button = qobject_cast<const QAbstractButton*>(control))
                    text = button->text();
                // One line, not wider than the control: a wrapped label loses its second line.
                EXPECT_LE(control->fontMetrics().horizontalAdvance(text), control->width())
                    << text.toStdString();
                EXPECT_LE(control->fontMetrics().height(), control->height()) << text.toStdString();
            }
        });
    }
}

TEST(Dialog, TabVisitsTheTabStopsInTemplateOrderStartingAtTheFirst)
{
    std::vector<int> visited;
    CDialog dialog(IDD_MAIN);
    RunDriven(dialog, [&](CDialog& d) {
        for (int i = 0; i < 7; ++i) {
            visited.push_back(FocusedId(d));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    });
    EXPECT_EQ(visited,
        (std::vector<int> { IDC_GO, IDC_TEXT, IDC_TONE_SLIDER, IDC_SPEED_SLIDER, IDC_GAP_SLIDER,
            IDC_ABOUT, IDC_GO }));
}

TEST(Dialog, InitialisationReturningFalseKeepsTheFocusItSet)
{
    MapDlg dialog;
    dialog.focusFirst = false;
    dialog.onInit = [](MapDlg& d) { d.GetDlgItem(IDC_TEXT)->setFocus(); };
    RunDriven(dialog, [](CDialog& d) { EXPECT_EQ(FocusedId(d), IDC_TEXT); });
}

TEST(Dialog, OpensCentredInThePrimaryWorkAreaUnlessInitialisationMovedIt)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    CDialog centred(IDD_MAIN);
    RunDriven(centred, [&](CDialog& d) {
        const QSize size = d.GetSafeWidget()->size();
        EXPECT_EQ(d.GetSafeWidget()->pos(),
            QPoint((area.left() + area.left() + area.width()) / 2 - size.width() / 2,
                (area.top() + area.top() + area.height()) / 2 - size.height() / 2));
    });

    MapDlg moved;
    moved.onInit = [](MapDlg& d) { d.GetSafeWidget()->move(17, 23); };
    RunDriven(moved, [](CDialog& d) { EXPECT_EQ(d.GetSafeWidget()->pos(), QPoint(17, 23)); });
}

TEST(Dialog, AboutBoxIsCentredOverItsOwnerAndStaysInTheWorkArea)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        const char* where;
        QPoint ownerAt;
    } cases[] = {
        { "middle", { 100, 200 } },
        { "past the right edge", { area.right() - 150, 200 } },
        { "past the bottom edge", { 100, area.bottom() - 20 } },
        { "past the top left corner", { -400, -150 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        TestApp app;
        CDialog main(IDD_MAIN);
        app.SetMainWnd(&main);
        QRect about;
        QRect owner;
        RunDriven(main, [&](CDialog& d) {
            if (&d != &main) {
                about = d.GetSafeWidget()->frameGeometry();
                return;
            }
            main.GetSafeWidget()->move(c.ownerAt);
            DeliverPendingEvents();
            owner = main.GetSafeWidget()->frameGeometry();
            CAboutDlg().DoModal();
        });
        EXPECT_EQ(ToPixelRect(about),
            CentredInWorkArea(
                about.width(), about.height(), ToPixelRect(owner), ToPixelRect(area)));
        EXPECT_TRUE(area.contains(about)) << about.x() << "," << about.y();
    }
}

TEST(Dialog, MessageMapSendsClicksNotificationsAndSystemCommandsToTheirHandlers)
{
    MapDlg dialog;
    const LResult result = RunDriven(dialog, [](CDialog& d) {
        QTest::mouseClick(d.GetDlgItem(IDC_GO), Qt::LeftButton);
        QTest::mouseClick(d.GetDlgItem(IDC_ABOUT), Qt::LeftButton); // not in the map
        auto* gap = qobject_cast<QSlider*>(d.GetDlgItem(IDC_GAP_SLIDER));
        QTest::keyClick(gap, Qt::Key_Right); // moves it, but only a release is reported
        QTest::mouseClick(gap, Qt::LeftButton, {}, QPoint(gap->width() - 3, gap->height() / 2));
        d.SendMessage({ Message::SysCommand, static_cast<int>(IDM_ABOUTBOX) });
        d.SendMessage({ Message::SysCommand, static_cast<int>(kScClose) });
    });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(dialog.log.size(), 4u);
    EXPECT_EQ(dialog.log[0], "go");
    EXPECT_EQ(dialog.log[1].rfind("released 1009 at ", 0), 0u) << dialog.log[1];
    EXPECT_NE(dialog.log[1], "released 1009 at 2"); // the click paged it further
    EXPECT_EQ(dialog.log[2], "about");
    EXPECT_EQ(dialog.log[3], "destroy with controls");
}

TEST(Dialog, MostDerivedMapEntryWinsAndBaseEntriesStillApply)
{
    DerivedMapDlg dialog;
    RunDriven(dialog, [](CDialog& d) {
        QTest::mouseClick(d.GetDlgItem(IDC_GO), Qt::LeftButton);
        d.SendMessage({ Message::SysCommand, static_cast<int>(IDM_ABOUTBOX) });
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(
        dialog.log, (std::vector<std::string> { "derived go", "about", "destroy with controls" }));
}

TEST(Dialog, UnhandledMessagesGetTheDefaultProcessing)
{
    const struct {
        const char* what;
        MessageArgs args;
        LResult result;
    } cases[] = {
        { "OK command", { Message::Command, IDOK, kBnClicked }, IDOK },
        { "Cancel command", { Message::Command, IDCANCEL, kBnClicked }, IDCANCEL },
        { "close button", { Message::Close }, IDCANCEL },
        { "system Close", { Message::SysCommand, static_cast<int>(kScClose) }, IDCANCEL },
        // Dropped: the dialog runs on until its loop gives up.
        { "unknown command", { Message::Command, kProbeCommand, kBnClicked }, -1 },
        { "unknown notification", { Message::Notify, IDC_TEXT, -2 }, -1 },
    };
    for (const auto& c : cases) {
        CDialog dialog(IDD_MAIN);
        EXPECT_EQ(RunDriven(dialog, [&](CDialog& d) { d.SendMessage(c.args); }), c.result)
            << c.what;
    }
}

TEST(Dialog, DialogKeys)
{
    using A = DialogKeyAction;
    using F = FocusedControl;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        F focus;
        A expected;
    } cases[] = {
        { Qt::Key_Escape, {}, F::EditWantingReturn, A::Cancel },
        { Qt::Key_Escape, Qt::ShiftModifier, F::Other, A::Cancel },
        { Qt::Key_Pause, Qt::ControlModifier, F::EditWantingReturn, A::Cancel },
        { Qt::Key_Pause, {}, F::Other, A::None },
        { Qt::Key_Cancel, {}, F::Other, A::Cancel },
        { Qt::Key_Return, {}, F::PushButton, A::ClickFocused },
        { Qt::Key_Enter, Qt::KeypadModifier, F::PushButton, A::ClickFocused },
        { Qt::Key_Return, {}, F::EditWantingReturn, A::None },
        { Qt::Key_Return, {}, F::Other, A::DefaultButton },
        { Qt::Key_F1, {}, F::Other, A::Help },
        { Qt::Key_F1, Qt::KeypadModifier, F::EditWantingReturn, A::Help },
        { Qt::Key_F1, Qt::ShiftModifier, F::Other, A::None },
        { Qt::Key_F1, Qt::ControlModifier, F::Other, A::None },
        { Qt::Key_F1, Qt::AltModifier, F::Other, A::None },
        { Qt::Key_A, {}, F::Other, A::None },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyDialogKey(c.key, c.modifiers, c.focus), c.expected)
            << std::hex << c.key << " " << c.modifiers.toInt();
    }
}

TEST(Dialog, KeysInTheMainWindow)
{
    const struct {
        const char* what;
        int control;
        int key;
        Qt::KeyboardModifiers modifiers;
        LResult result;
        const char* text;
        std::vector<std::string> log;
    } cases[] = {
        { "Escape in the text box", IDC_TEXT, Qt::Key_Escape, {}, IDCANCEL, "", {} },
        { "Ctrl+Break in the text box", IDC_TEXT, Qt::Key_Pause, Qt::ControlModifier, IDCANCEL, "",
            {} },
        { "Enter in the text box", IDC_TEXT, Qt::Key_Return, {}, -1, "\n", {} },
        { "Enter on Go", IDC_GO, Qt::Key_Return, {}, -1, "", { "go" } },
        { "Enter on a slider: OK", IDC_SPEED_SLIDER, Qt::Key_Enter, Qt::KeypadModifier, IDOK, "",
            {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MapDlg dialog;
        QString text;
        const LResult result = RunDriven(dialog, [&](CDialog& d) {
            QTest::keyClick(d.GetDlgItem(c.control), static_cast<Qt::Key>(c.key), c.modifiers);
            text = d.GetDlgItemText(IDC_TEXT);
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(text, c.text);
        dialog.log.pop_back(); // destroy
        EXPECT_EQ(dialog.log, c.log);
    }
}

TEST(Dialog, HelpAsksForTheTopicOfTheDialogHoldingTheFocus)
{
    TestApp app;
    CDialog main(IDD_MAIN);
    app.SetMainWnd(&main);
    RunDriven(main, [&](CDialog& d) {
        QWidget* target
            = d.GetDlgItem(IDOK) != nullptr ? d.GetDlgItem(IDOK) : d.GetDlgItem(IDC_TEXT);
        for (auto modifier : { Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier })
            QTest::keyClick(target, Qt::Key_F1, modifier);
        QTest::keyClick(target, Qt::Key_F1);
        if (&d == &main)
            CAboutDlg().DoModal();
    });
    EXPECT_EQ(app.topics, (std::vector<std::uint32_t> { 0x20000 + 102, 0x20000 + 100 }));
}

TEST(Dialog, HelpIsDroppedWhenTheApplicationHasNoHandlerForIt)
{
    CWinApp app;
    CDialog main(IDD_MAIN);
    EXPECT_EQ(
        RunDriven(main, [](CDialog& d) { QTest::keyClick(d.GetDlgItem(IDC_TEXT), Qt::Key_F1); }),
        -1);
}

TEST(Dialog, DisabledOwnerTakesNoInput)
{
    TestApp app;
    MapDlg main;
    app.SetMainWnd(&main);
    RunDriven(main, [&](CDialog& d) {
        if (&d == &main) {
            CAboutDlg().DoModal();
            return;
        }
        QTest::mouseClick(main.GetDlgItem(IDC_GO), Qt::LeftButton);
        QTest::keyClick(main.GetDlgItem(IDC_TEXT), Qt::Key_Escape);
        main.GetSafeWidget()->close();
        d.EndDialog(IDOK);
    });
    EXPECT_EQ(main.log, (std::vector<std::string> { "destroy with controls" }));
}

TEST(Dialog, SliderMembersAreBoundByDataExchange)
{
    MapDlg dialog;
    dialog.onInit = [](MapDlg& d) { d.gapSlider.SetPos(25); };
    RunDriven(dialog, [&](CDialog& d) {
        auto* gap = qobject_cast<QSlider*>(d.GetDlgItem(IDC_GAP_SLIDER));
        EXPECT_EQ(dialog.gapSlider.Slider(), gap);
        EXPECT_EQ(dialog.gapSlider.GetPos(), 20); // shown at the nearer end
        EXPECT_EQ(dialog.gapSlider.GetRangeMin(), 1);
        EXPECT_EQ(gap->tickInterval(), 19); // ticks at the two ends only
        EXPECT_EQ(gap->tickPosition(), QSlider::TicksBothSides);
    });
    EXPECT_EQ(dialog.gapSlider.Slider(), nullptr);
    EXPECT_EQ(dialog.gapSlider.GetPos(), 0);
}

TEST(Dialog, SystemMenuHoldsTheWindowCommandsAndWhatIsAppended)
{
    CDialog dialog(IDD_MAIN);
    EXPECT_EQ(dialog.GetSystemMenu(), nullptr); // no window yet
    RunDriven(dialog, [](CDialog& d) {
        CMenu* menu = d.GetSystemMenu();
        ASSERT_NE(menu, nullptr);
        menu->AppendMenu(MenuItemKind::Separator);
        menu->AppendMenu(MenuItemKind::String, IDM_ABOUTBOX, "&About Kestrin...");
        std::vector<unsigned> ids;
        for (const CMenu::Item& item : menu->Items())
            ids.push_back(item.kind == MenuItemKind::Separator ? 0 : item.id);
        EXPECT_EQ(ids, (std::vector<unsigned> { kScMinimize, kScClose, 0, IDM_ABOUTBOX }));
    });
}

} // namespace
} // namespace kestrin
