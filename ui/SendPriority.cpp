#include "ui/SendPriority.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kestrin {
namespace {

// The lowest realtime priority: above every ordinary thread, below the sound server's own.
constexpr quint32 kPriority = 1;
// RealtimeKit serves only processes that cap a realtime thread's CPU time without a sleep; a
// send sleeps every few milliseconds, so 200 ms is never reached.
constexpr rlim_t kRealtimeCpuLimitUs = 200000;
// A service that does not answer at once costs the send's start no more than this.
constexpr int kCallTimeoutMs = 200;

bool g_serviceAbsent = false;

bool CapRealtimeCpu()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0)
        return false;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= kRealtimeCpuLimitUs)
        return true; // the soft limit is lower still
    limit = { kRealtimeCpuLimitUs, kRealtimeCpuLimitUs };
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

} // namespace

SendPriority::SendPriority()
{
    if (g_serviceAbsent || !CapRealtimeCpu())
        return;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        g_serviceAbsent = true;
        return;
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.RealtimeKit1"),
            QStringLiteral("/org/freedesktop/RealtimeKit1"),
            QStringLiteral("org.freedesktop.RealtimeKit1"), QStringLiteral("MakeThreadRealtime"));
    call << static_cast<quint64>(gettid()) << kPriority;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        m_raised = true;
        return;
    }
    // Refusals and time-outs may pass; a service that is not there will not come.
    const QString error = reply.errorName();
    g_serviceAbsent = error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || error == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

SendPriority::~SendPriority()
{
    if (!m_raised)
        return;
    // Lowering one's own priority needs no one's leave.
    const sched_param normal {};
    (void)pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal); // cannot fail when lowering
}

} // namespace kestrin
