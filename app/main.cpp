#include "output/ToneGenerator.h"
#include "settings/AtomicFile.h"
#include "ui/windows/SenderApp.h"

#include <QGuiApplication>
#include <cstdlib>

// The one application object, made before main() like every static object.
kestrin::CSenderApp theApp;

int main(int argc, char** argv)
{
    // First, before any library writes a cache or starts a thread.
    kestrin::LetWritesPastTheSizeLimitFail();
    kestrin::WatchTerminationSignals();
    // The lamp is drawn while the window thread sleeps, which is known to reach the screen under
    // X11; on a Wayland desktop go through XWayland while there is one, unless the user chose.
    setenv("QT_QPA_PLATFORM", "xcb;wayland", 0);
    // Lets the desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTRIN_APP_ID));

    // Opened in the background: a machine without sound takes over 100 ms to say so, and the
    // window must not wait for it. Closed when main returns, even while a tone still sounds.
    kestrin::ToneGenerator tones;
    tones.OpenAsync();
    theApp.SetToneFunction(tones.AsToneFunction());
    theApp.SetSendStarting(tones.AsPrepareFunction());
    return kestrin::RunApplication(argc, argv);
}
