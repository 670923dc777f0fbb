#include "ui/framework/qt/WinApp.h"

#include "settings/SettingsStore.h"
#include "ui/framework/qt/Dialog.h"
#include "ui/framework/qt/DisplayConnection.h"
#include "ui/framework/qt/ResourceLoader.h"

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kestrin {
namespace {

// What the watcher thread tells the user-interface thread. Never destroyed: the watcher is
// detached and may still run while static objects go.
struct TerminationState {
    std::mutex mutex;
    std::condition_variable signalled;
    bool requested = false;
    int requestRead = -1; // readable once requested; the message loop watches it
    int requestWrite = -1;
};

TerminationState& Termination()
{
    static TerminationState* const state = new TerminationState;
    return *state;
}

// Set once, before the handler is installed; all that the handler touches.
int gSignalPipeWrite = -1;

extern "C" void PassTerminationSignal(int number)
{
    const int savedErrno = errno;
    const auto byte = static_cast<char>(number);
    // Non-blocking: when the pipe is full a request is on its way already.
    (void)!::write(gSignalPipeWrite, &byte, 1);
    errno = savedErrno;
}

void WatchForTermination(int signalRead)
{
    char byte = 0;
    for (;;) {
        const ssize_t got = ::read(signalRead, &byte, 1);
        if (got == 1)
            break;
        if (got < 0 && errno == EINTR)
            continue;
        return; // cannot happen while the handler's end is open; then nothing is watched
    }
    TerminationState& state = Termination();
    {
        const std::lock_guard lock(state.mutex);
        state.requested = true;
    }
    state.signalled.notify_all();
    (void)!::write(state.requestWrite, &byte, 1); // non-blocking, and the first byte fits
    std::this_thread::sleep_for(std::chrono::milliseconds(kTerminationGraceMs));
    ::_exit(0);
}

// Set while the Qt application runs; read by the exit handler, which may run on any thread.
std::atomic<bool> gRunning { false };

[[noreturn]] void EndOnTerminationRequest()
{
    if (CWinApp* app = CWinApp::Get())
        app->OnTerminationSignal();
    ::_exit(0);
}

// Qt's X11 plugin (and Xlib) call exit(1) when the display's connection breaks. Running the
// static objects' destructors then, under a Qt application that was never destroyed, would
// destroy widgets while Qt's own statics go: the run ends here instead, with the same status.
void EndRunOnExit(int status, void*)
{
    if (!gRunning.exchange(false))
        return; // the program's own end: the application is gone, the statics go as usual
    if (CWinApp* app = CWinApp::Get())
        app->OnRunCutShort();
    ::_exit(status);
}

// Qt's messages while its application object is being built are held back: when no display can
// be opened, Qt explains in several lines that end in a fatal error and an abort, and a single line
// of ours says it better. Held messages are passed on once the build has succeeded.
struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

std::mutex gHeldMutex;
std::vector<HeldMessage> gHeld;
QtMessageHandler gPassOn = nullptr;

// The displays tried, as a phrase for the one line that says none could be opened.
std::string gDisplaysTried = "the default display";

bool IsWayland(const QString& platform)
{
    return platform.startsWith(QLatin1String("wayland"));
}

// Whether a Wayland client could connect, found the way the client library looks.
bool WaylandDisplayReachable()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return true;
    QByteArray path = qgetenv("WAYLAND_DISPLAY");
    if (path.isEmpty())
        path = "wayland-0";
    if (!path.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        path = runtime + '/' + path;
    }
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool reached
        = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    (void)::close(fd); // only a probe
    return reached;
}

std::string DisplayPhrase(const QString& platform)
{
    if (platform == QLatin1String("xcb")) {
        const QByteArray display = qgetenv("DISPLAY");
        return display.isEmpty() ? std::string("X11 display (DISPLAY is not set)")
                                 : "X11 display \"" + display.toStdString() + "\"";
    }
    if (IsWayland(platform)) {
        const QByteArray display = qgetenv("WAYLAND_DISPLAY");
        return "Wayland display \""
            + (display.isEmpty() ? std::string("wayland-0") : display.toStdString()) + "\"";
    }
    return "platform \"" + platform.toStdString() + "\"";
}

[[noreturn]] void SayNoDisplay()
{
    std::fprintf(stderr, "%s: cannot open a display: %s\n", ExecutableBaseName().c_str(),
        gDisplaysTried.c_str());
    std::fflush(stderr);
    ::_exit(1); // no abort and no core dump: nothing went wrong inside the program
}

// Notes the displays that QT_QPA_PLATFORM names, and leaves out a Wayland platform whose display
// cannot be reached: its client library would complain on stderr before Qt moves on.
void PrepareDisplays()
{
    const QStringList entries
        = qEnvironmentVariable("QT_QPA_PLATFORM").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (entries.isEmpty())
        return;
    std::string tried;
    QStringList kept;
    for (const QString& entry : entries) {
        const QString platform = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        tried += (tried.empty() ? "" : ", ") + DisplayPhrase(platform);
        if (!IsWayland(platform) || WaylandDisplayReachable())
            kept.push_back(entry);
    }
    gDisplaysTried = tried;
    if (kept.isEmpty())
        SayNoDisplay();
    if (kept.size() != entries.size())
        qputenv("QT_QPA_PLATFORM", kept.join(QLatin1Char(';')).toLocal8Bit());
}

// Qt's Wayland client ends the process with _exit() right after this warning, when the compositor
// has gone, from its reader thread: no exit handler runs, so the settings are saved here.
void PassOnMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && gRunning.load()
        && text.startsWith(QLatin1String("The Wayland connection"))) {
        if (CWinApp* app = CWinApp::Get())
            app->OnRunCutShort();
    }
    gPassOn(type, context, text);
}

void PassOnHeldMessages()
{
    qInstallMessageHandler(PassOnMessage);
    std::vector<HeldMessage> held;
    {
        const std::lock_guard lock(gHeldMutex);
        held.swap(gHeld);
    }
    for (const HeldMessage& m : held) {
        const QMessageLogContext context(m.file.isNull() ? nullptr : m.file.constData(), m.line,
            m.function.isNull() ? nullptr : m.function.constData(),
            m.category.isNull() ? nullptr : m.category.constData());
        gPassOn(m.type, context, m.text);
    }
}

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg
        && text.contains(QLatin1String("no Qt platform plugin could be initialized")))
        SayNoDisplay();
    if (type == QtFatalMsg) {
        PassOnHeldMessages();
        gPassOn(type, context, text); // Qt aborts when it returns
        return;
    }
    const std::lock_guard lock(gHeldMutex);
    gHeld.push_back({ type, context.file, context.line, context.function, context.category, text });
}

} // namespace

int CWinApp::Run()
{
    // The exit status carries no meaning; the loop's own is dropped for ExitInstance's.
    (void)QApplication::exec();
    return ExitInstance();
}

QString CWinApp::AppName() const
{
    if (!m_appName.empty() || QCoreApplication::instance() == nullptr)
        return QString::fromStdString(m_appName);
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void CWinApp::OnHelp()
{
    CDialog* dialog = CDialog::FromWidget(QApplication::focusWidget());
    if (dialog == nullptr)
        dialog = CDialog::FromWidget(QApplication::activeWindow());
    if (dialog == nullptr)
        dialog = m_commandSource;
    if (dialog == nullptr)
        return;
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowHelpTopic(dialog->GetHelpContext());
    QApplication::restoreOverrideCursor();
}

void EndOnLostDisplay()
{
    std::fprintf(
        stderr, "%s: the connection to the display was lost\n", ExecutableBaseName().c_str());
    if (CWinApp* app = CWinApp::Get())
        app->OnRunCutShort();
    ::_exit(1);
}

int RunApplication(int argc, char** argv)
{
    PrepareDisplays();
    gPassOn = qInstallMessageHandler(HoldStartMessage);
    // Declared before the application, so that it ends after it.
    struct Running {
        ~Running() { gRunning.store(false); }
    } running;
    QApplication application(argc, argv);
    gRunning.store(true);
    static const bool endsRuns = ::on_exit(EndRunOnExit, nullptr) == 0;
    (void)endsRuns; // without it an exit() in the run goes on to the static destructors
    PassOnHeldMessages();
    // Windows end by their dialogs' own rules, never because the last one closed.
    QApplication::setQuitOnLastWindowClosed(false);
    // Any message loop, the modal ones included, takes a termination request.
    std::unique_ptr<QSocketNotifier> termination;
    if (const int fd = Termination().requestRead; fd >= 0) {
        termination = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(
            termination.get(), &QSocketNotifier::activated, [] { EndOnTerminationRequest(); });
    }
    CWinApp* app = CWinApp::Get();
    if (app == nullptr)
        return 1;
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}

void WatchTerminationSignals()
{
    int signalPipe[2];
    int requestPipe[2];
    if (::pipe2(signalPipe, O_CLOEXEC) != 0 || ::pipe2(requestPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no pipe: the signals keep their default, ending without a save
    // The watcher blocks on its end; the handler never does. Should this fail, the handler could
    // block only once some 64 KiB of signals were waiting in the pipe.
    (void)::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    TerminationState& state = Termination();
    state.requestRead = requestPipe[0];
    state.requestWrite = requestPipe[1];
    gSignalPipeWrite = signalPipe[1];
    // The handler first, the watcher after: a signal in between waits in the pipe, and starting
    // a thread takes milliseconds at a busy start-up.
    struct sigaction action { };
    action.sa_handler = PassTerminationSignal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    const int numbers[] = { SIGTERM, SIGHUP, SIGINT };
    for (const int number : numbers)
        (void)::sigaction(number, &action, nullptr); // cannot fail for these signals
    try {
        std::thread(WatchForTermination, signalPipe[0]).detach();
    } catch (const std::system_error&) {
        // No thread: the signals get their default back, ending without a save, and one that
        // came meanwhile ends the program so.
        for (const int number : numbers)
            (void)::signal(number, SIG_DFL); // cannot fail for these signals
        (void)::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
        char number = 0;
        if (::read(signalPipe[0], &number, 1) == 1)
            (void)::raise(number);
    }
}

void TerminationSleeper::Sleep(int ms)
{
    // Nothing else tells a send that the display has gone: Qt would only see it once the send
    // is over, which may be hours away.
    bool displayLost = DisplayConnectionLost();
    TerminationState& state = Termination();
    const auto sleepUntil = [&](std::chrono::steady_clock::time_point until) {
        for (;;) {
            const auto step = std::min(until,
                std::chrono::steady_clock::now() + std::chrono::milliseconds(kDisplayCheckMs));
            {
                // A condition variable's timed wait is as exact as sleep_for; poll's is not.
                std::unique_lock lock(state.mutex);
                if (state.signalled.wait_until(lock, step, [&state] { return state.requested; }))
                    return false;
            }
            if (step == until)
                return true;
            displayLost = DisplayConnectionLost();
            if (displayLost)
                return false;
        }
    };
    const bool wholeWait = !displayLost && WaitExactly(ms, sleepUntil);
    if (displayLost)
        EndOnLostDisplay();
    if (!wholeWait)
        EndOnTerminationRequest();
}

} // namespace kestrin
