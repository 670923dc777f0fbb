#include "ui/framework/qt/DialogControls.h"

#include "ui/framework/qt/DialogUnits.h"
#include "ui/framework/qt/ResourceLoader.h"
#include "ui/framework/qt/Trackbar.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace kestrin {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString StaticText(const QString& text, std::uint32_t controlStyle)
{
    if ((controlStyle & style::kNoPrefix) != 0)
        return text;
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

QWidget* StandardControl(const ControlTemplate& control, QWidget* parent)
{
    const QString text = FromUtf8(control.text);
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault((control.style & style::kDefPushButton) != 0);
        return button;
    }
    case ControlKind::Edit: {
        if ((control.style & style::kMultiLine) == 0) {
            auto* edit = new QLineEdit(text, parent);
            edit->setFrame((control.style & style::kBorder) != 0);
            return edit;
        }
        auto* edit = new QPlainTextEdit(text, parent);
        // Without auto horizontal scroll a multi-line edit wraps at words.
        edit->setLineWrapMode((control.style & style::kAutoHScroll) != 0
                ? QPlainTextEdit::NoWrap
                : QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy((control.style & style::kVScroll) != 0
                ? Qt::ScrollBarAlwaysOn
                : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy((control.style & style::kHScroll) != 0
                ? Qt::ScrollBarAlwaysOn
                : Qt::ScrollBarAlwaysOff);
        edit->setFrameShape(
            (control.style & style::kBorder) != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
        edit->setTabChangesFocus(true);
        return edit;
    }
    case ControlKind::Trackbar: {
        const bool vertical = (control.style & style::kTrackVert) != 0;
        auto* slider = new Trackbar(vertical ? Qt::Vertical : Qt::Horizontal,
            (control.style & style::kTrackAutoTicks) != 0, parent);
        if ((control.style & style::kTrackNoTicks) != 0)
            slider->setTickPosition(QSlider::NoTicks);
        else if ((control.style & style::kTrackBoth) != 0)
            slider->setTickPosition(QSlider::TicksBothSides);
        else if ((control.style & style::kTrackTop) != 0)
            slider->setTickPosition(QSlider::TicksAbove);
        else
            slider->setTickPosition(QSlider::TicksBelow);
        return slider;
    }
    case ControlKind::Static:
        break;
    }

    switch (control.style & style::kStaticTypeMask) {
    case style::kStaticIcon: {
        auto* icon = new QLabel(parent);
        icon->setPixmap(LoadIconImage(control.imageId, 32));
        return icon;
    }
    case style::kStaticBlackRect: {
        auto* panel = new QFrame(parent);
        if ((control.exStyle & style::kExClientEdge) != 0)
            panel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, Qt::black);
        panel->setPalette(palette);
        panel->setAutoFillBackground(true);
        return panel;
    }
    default: {
        auto* label = new QLabel(StaticText(text, control.style), parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        Qt::Alignment alignment = Qt::AlignLeft;
        if ((control.style & style::kStaticTypeMask) == style::kStaticCenter)
            alignment = Qt::AlignHCenter;
        else if ((control.style & style::kStaticTypeMask) == style::kStaticRight)
            alignment = Qt::AlignRight;
        label->setAlignment(alignment | Qt::AlignTop);
        return label;
    }
    }
}

} // namespace kestrin
