#include "cli/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace horvex::cli {

namespace {

// The bus answers in milliseconds; a service being started on demand may
// take longer, and is not waited for.
constexpr int kCallMs = 1000;
// Connecting (libdbus's handshake) has no time limit of its own.
constexpr auto kLimit = std::chrono::seconds(2);

const QString kConnection = QStringLiteral("horvex-aviso");

// Ends the process with `code` when it outlives `limit`.
class Deadline {
public:
    Deadline(std::chrono::milliseconds limit, int code)
        : thread_([this, limit, code] {
            std::unique_lock lock(mutex_);
            if (!woken_.wait_for(lock, limit, [this] { return done_; })) {
                std::fflush(nullptr);
                std::_Exit(code);
            }
        }) {}
    ~Deadline() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        woken_.notify_one();
        thread_.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool done_ = false;
    std::thread thread_; // last: it uses the members above
};

// The session bus's address, never one libdbus would make up: with no
// address set, its "autolaunch:" could start a bus of its own.
QString sessionBusAddress() {
    if (const QString set = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"); !set.isEmpty())
        return set;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = QDir(runtime).filePath(QStringLiteral("bus"));
    return QDir::isAbsolutePath(runtime) && QFileInfo(socket).exists()
               ? QStringLiteral("unix:path=") + socket
               : QString();
}

} // namespace

bool showNotice(const QString& summary, const QString& body, bool urgent, int exitCode) {
    const QString address = sessionBusAddress();
    if (address.isEmpty())
        return false;
    const Deadline deadline(kLimit, exitCode);
    bool shown = false;
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(address, kConnection);
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.Notifications"),
                QStringLiteral("/org/freedesktop/Notifications"),
                QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
            const QVariantMap hints{
                {QStringLiteral("urgency"), QVariant::fromValue<uchar>(urgent ? 2 : 1)},
                {QStringLiteral("desktop-entry"), QStringLiteral("org.horvex.Horvex")}};
            call << QStringLiteral("Horvex") << 0U << QStringLiteral("org.horvex.Horvex") << summary
                 << body << QStringList() << hints << -1;
            shown = bus.call(call, QDBus::Block, kCallMs).type() == QDBusMessage::ReplyMessage;
        }
    }
    QDBusConnection::disconnectFromBus(kConnection);
    return shown;
}

} // namespace horvex::cli
