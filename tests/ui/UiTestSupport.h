#pragma once

#include "ui/framework/qt/Dialog.h"

#include <QApplication>
#include <functional>
#include <utility>

namespace kestrin::test {

// Installs a modal loop for the life of the scope, so that no dialog ever runs real events.
class ScopedModalLoop {
public:
    explicit ScopedModalLoop(CDialog::ModalLoop loop)
        : m_old(CDialog::SetModalLoop(std::move(loop)))
    { }
    ~ScopedModalLoop() { CDialog::SetModalLoop(std::move(m_old)); }
    ScopedModalLoop(const ScopedModalLoop&) = delete;
    ScopedModalLoop& operator=(const ScopedModalLoop&) = delete;

private:
    CDialog::ModalLoop m_old;
};

// Lets queued window-system events (activation, focus) take effect; waits for nothing.
inline void DeliverPendingEvents()
{
    QApplication::processEvents();
}

// Runs `dialog` modally with `drive` as its modal loop; returns DoModal's result.
inline LResult RunDriven(CDialog& dialog, const std::function<void(CDialog&)>& drive)
{
    ScopedModalLoop loop([&](CDialog& running) {
        DeliverPendingEvents();
        drive(running);
    });
    return dialog.DoModal();
}

} // namespace kestrin::test
