// Plays the desktop's notification service for the tests: owns
// org.freedesktop.Notifications on the bus DBUS_SESSION_BUS_ADDRESS names,
// appends each Notify call to the file given as its argument (summary, body
// and urgency, one line, newlines as \n) and says "listo" once it owns the
// name.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QVariantMap>
#include <cstdio>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit Notifications(QString file)
        : file_(std::move(file)) {}

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int) {
        QFile f(file_);
        if (f.open(QIODevice::Append)) {
            QString text = body;
            f.write((summary + '\t' + text.replace('\n', "\\n") + '\t' +
                     QString::number(hints.value("urgency").toUInt()) + '\n')
                        .toUtf8());
        }
        return ++id_;
    }
    QStringList GetCapabilities() { return {"body"}; }

private:
    QString file_;
    uint id_ = 0;
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 64;
    Notifications service(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/Notifications", &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.Notifications"))
        return 1;
    std::puts("listo");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "notification_stand_in.moc"
