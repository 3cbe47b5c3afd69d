// The command line as a user or a timer runs it: the real binary, with no
// display, a throw-away store and record, and a pseudo-terminal as the line.

#include "decoder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace horvex;

namespace {

// The clock's end of the line: what horvex writes to the slave arrives here.
class Line {
public:
    Line() {
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0)
            return;
        path_ = QString::fromLocal8Bit(::ttyname(slave_));
        // Not inherited by horvex, or its copy would keep the line up after a hang-up.
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    }
    ~Line() {
        hangUp();
        ::close(slave_);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    const QString& path() const { return path_; }
    // What has arrived so far, reading on until the line is quiet.
    QByteArray read() {
        while (readSome(100)) {
        }
        return got_;
    }
    // Waits for the first bytes of a frame.
    bool started(int waitMs) { return readSome(waitMs); }
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    bool readSome(int waitMs) {
        pollfd fd{master_, POLLIN, 0};
        char buf[256];
        ssize_t n = 0;
        if (master_ < 0 || ::poll(&fd, 1, waitMs) <= 0 ||
            (n = ::read(master_, buf, sizeof buf)) <= 0)
            return false;
        got_.append(buf, n);
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QByteArray got_;
};

struct Result {
    int exit = -1;
    QString output; // stdout, then stderr
};

// A user of their own: store, record and line, no display.
class User {
public:
    Line line;

    QString store() const { return dir_.filePath(QStringLiteral("config/Horvex/Horvex.conf")); }
    QString record() const { return dir_.filePath(QStringLiteral("state/Horvex/envios.log")); }
    void writeFile(const QString& file, const QByteArray& text) const {
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // The store holds COM4 on the line, then `text`.
    void setStore(const QByteArray& text) const {
        writeFile(store(), "[Puertos]\nCOM4=" + line.path().toLocal8Bit() + "\n" + text);
    }

    std::unique_ptr<QProcess> start(const QStringList& args) const {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* gone : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(gone));
        env.insert(QStringLiteral("HOME"), dir_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), dir_.filePath(QStringLiteral("state")));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(HORVEX), args);
        return p;
    }
    static Result finish(QProcess& p) {
        p.waitForFinished(10000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }
    Result run(const QStringList& args) const { return finish(*start(args)); }

private:
    QTemporaryDir dir_;
};

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    // received: 82 for one good frame, 0 for nothing, -1 for a frame cut short.
    void sync_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("received");
        QTest::addColumn<QString>("recorded");
        const QStringList sync{"--sync"};
        const QByteArray slot0 = "[HH]\ncboHH0=07\n[MM]\ncboMM0=30\n[ALA]\nchkAla0=1\n";
        QTest::newRow("sent") << sync << slot0 << "" << 0 << "Enviado a COM4 (%1): hora " << 82
                              << "\tenviado\t82\t";
        QTest::newRow("store is a folder")
            << sync << QByteArray() << "store-is-folder" << 1
            << "Horvex.conf es una carpeta, no un archivo" << 0 << "Horvex.conf es una carpeta";
        QTest::newRow("value not offered")
            << sync << QByteArray("[HH]\ncboHH3=7\n") << "" << 1
            << "horvex: Hora H03: ningún valor seleccionado" << 0 << "\tHora H03: ningún valor";
        QTest::newRow("port missing")
            << QStringList{"--sync", "--port", "7"} << QByteArray("COM7=/nonexistent/ttyHX\n") << ""
            << 1 << "horvex: COM7 (/nonexistent/ttyHX): No such file or directory" << 0
            << "\tCOM7\t/nonexistent/ttyHX\tCOM7 (/nonexistent/ttyHX): No such file";
        QTest::newRow("hang-up mid-frame")
            << sync << slot0 << "hang-up" << 2 << "(envío interrumpido: enviados " << -1
            << "(envío interrumpido: enviados ";
        QTest::newRow("record not writable")
            << sync << slot0 << "state-is-file" << 0 << "horvex: no se pudo anotar el envío en "
            << 82 << "";
        QTest::newRow("usage") << QStringList{"--sync", "--port", "0"} << slot0 << "" << 64
                               << "horvex: --port: «0» no es un número de puerto de 1 a 255" << 0
                               << "";
    }
    void sync() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, store);
        QFETCH(QString, setup);
        QFETCH(int, exit);
        QFETCH(QString, said);
        QFETCH(int, received);
        QFETCH(QString, recorded);
        User user;
        user.setStore(store);
        if (setup == QLatin1String("store-is-folder")) {
            QFile::remove(user.store());
            QDir().mkpath(user.store());
        }
        if (setup == QLatin1String("state-is-file"))
            user.writeFile(QFileInfo(QFileInfo(user.record()).path()).path(), "not a folder");

        const std::unique_ptr<QProcess> p = user.start(args);
        if (setup == QLatin1String("hang-up")) {
            QVERIFY(user.line.started(5000));
            user.line.hangUp();
        }
        const Result r = User::finish(*p);
        QCOMPARE(r.exit, exit);
        QVERIFY2(r.output.contains(QString(said).replace("%1", user.line.path())),
                 qPrintable(r.output));

        const QByteArray bytes = user.line.read();
        const reloj::Decoded frame = reloj::decode(bytes);
        if (received == 82) {
            QVERIFY2(frame.ok(), qPrintable(frame.problems.value(0).text()));
            const reloj::Slot s = frame.frame->alarms[0];
            QCOMPARE(std::tuple(s.hour, s.minute, s.longRing), std::tuple(7, 30, true));
            QVERIFY(frame.frame->alarms[1].unset());
        } else if (received < 0) {
            QVERIFY(bytes.size() > 0 && bytes.size() < reloj::kFrameSize);
        } else {
            QCOMPARE(bytes, QByteArray());
        }
        if (exit == 0) {
            const reloj::Frame& f = *frame.frame;
            QVERIFY(r.output.contains(QStringLiteral("hora %1:%2:%3")
                                          .arg(f.hour, 2, 10, QLatin1Char('0'))
                                          .arg(f.minute, 2, 10, QLatin1Char('0'))
                                          .arg(f.second, 2, 10, QLatin1Char('0'))));
        }

        const Result history = user.run({"--history", "1"});
        QCOMPARE(history.exit, 0);
        if (recorded.isEmpty()) {
            QVERIFY2(history.output.startsWith(QStringLiteral("Todavía no hay envíos")),
                     qPrintable(history.output));
            return;
        }
        QCOMPARE(lines(history.output).size(), 1);
        static const QRegularExpression stamp(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)\tsync\t)"));
        QVERIFY2(stamp.match(history.output).hasMatch(), qPrintable(history.output));
        QVERIFY2(history.output.contains(recorded), qPrintable(history.output));
        if (exit == 0)
            QVERIFY(
                history.output.trimmed().endsWith(QString::fromLatin1(bytes.toHex().toUpper())));
    }

    // At its limit the record moves to envios.log.1; --history reads on into it.
    void recordRotatesAndHistoryReadsBothFiles() {
        User user;
        user.setStore("[HH]\ncboHH3=7\n");
        QByteArray old;
        for (int i = 0; old.size() < 1024 * 1024 - 100; ++i)
            old += "2020-01-01T00:00:00.000Z\tventana\tCOM4\t/dev/ttyS3\tenviado\t82\t" +
                   QByteArray::number(i) + "\n";
        user.writeFile(user.record(), old);

        QCOMPARE(user.run({"--sync"}).exit, 1);
        QFile moved(user.record() + QStringLiteral(".1"));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), old);

        const QStringList last = lines(user.run({"--history", "3"}).output);
        QCOMPARE(last.size(), 3);
        QCOMPARE(last.mid(0, 2), lines(QString::fromUtf8(old)).mid(lines(old).size() - 2));
        QVERIFY(last.at(2).contains(QStringLiteral("Hora H03")));
    }

    // A second upload while one is on the line is refused and sends nothing.
    void twoProcessesOnOnePort() {
        User user;
        user.setStore({});
        const std::unique_ptr<QProcess> a = user.start({"--sync"});
        const std::unique_ptr<QProcess> b = user.start({"--sync"});
        const Result ra = User::finish(*a);
        const Result rb = User::finish(*b);
        QCOMPARE(QList<int>({ra.exit, rb.exit}).count(0), 1);
        const Result& refused = ra.exit == 0 ? rb : ra;
        QCOMPARE(refused.exit, 1);
        QVERIFY2(refused.output.contains(QStringLiteral("el puerto está en uso por otro programa")),
                 qPrintable(refused.output));
        const QByteArray bytes = user.line.read();
        QCOMPARE(bytes.size(), reloj::kFrameSize);
        QVERIFY(reloj::decode(bytes).ok());
    }

    // What --print-frame shows, byte and slot, is what the clock would read.
    void printFrameAgreesWithTheDecoder() {
        User user;
        user.setStore(
            "[HH]\ncboHH0=07\ncboHH35=23\n[MM]\ncboMM0=30\ncboMM35=60\n[ALA]\nchkAla35=1\n"
            "chkAla0=2\n[TAla]\nCorto=15\nLargo=01\n");
        const Result r = user.run({"--print-frame"});
        QCOMPARE(r.exit, 0);
        const QStringList out = lines(r.output);
        QByteArray hex;
        for (const QString& l : out.mid(1, 6))
            hex += l.section(QLatin1Char(':'), 1).toLatin1();
        const reloj::Decoded d = reloj::decode(QByteArray::fromHex(hex));
        QVERIFY2(d.ok(), qPrintable(r.output));
        const reloj::Frame& f = *d.frame;
        const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
        QVERIFY(out.at(7).startsWith(QStringLiteral("Hora del día: %1:%2:%3")
                                         .arg(two(f.hour), two(f.minute), two(f.second))));
        for (int i = 0; i < reloj::kSlotCount; ++i) {
            const reloj::Slot& s = f.alarms[static_cast<std::size_t>(i)];
            QCOMPARE(out.at(8 + i).section(QStringLiteral("   "), 0, 0),
                     QStringLiteral("H%1  %2:%3  %4")
                         .arg(two(i), two(s.hour), two(s.minute),
                              s.longRing ? QStringLiteral("largo") : QStringLiteral("corto")));
        }
        QVERIFY(out.at(44).startsWith(
            QStringLiteral("Timbre corto %1, largo %2").arg(two(f.shortRing), two(f.longRing))));
        QCOMPARE(std::tuple(f.alarms[35].hour, f.alarms[35].minute, f.alarms[0].longRing),
                 std::tuple(23, 60, false));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
