#include "clocklink/port_list.h"
#include "clocklink/puerto.h"
#include "fakes.h"
#include "schedule/failure.h"

#include <QSerialPort>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace horvex;
using namespace horvex::testing;

namespace {

// Another program holding a port the usual way (the serial layer's lock
// file): a child of this test, until it is let go.
class HoldingProgram {
public:
    explicit HoldingProgram(const QString& device) {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(release[1]); // so that the parent's close is an end of file here
            QSerialPort port;
            port.setPortName(device);
            const char opened = port.open(QIODevice::WriteOnly) ? '1' : '0';
            char done = 0;
            if (::write(ready[1], &opened, 1) == 1)
                while (::read(release[0], &done, 1) < 0 && errno == EINTR) {
                }
            port.close();
            ::_exit(0);
        }
        char opened = '0';
        ::close(release[0]);
        release_ = release[1];
        QVERIFY(::read(ready[0], &opened, 1) == 1 && opened == '1');
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~HoldingProgram() {
        ::close(release_);
        ::waitpid(pid_, nullptr, 0);
    }
    HoldingProgram(const HoldingProgram&) = delete;
    HoldingProgram& operator=(const HoldingProgram&) = delete;
    // As the messages name it.
    QString text() const { return QStringLiteral("test_puerto (pid %1)").arg(pid_); }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

} // namespace

class TestPuerto : public QObject {
    Q_OBJECT
    Sandbox sandbox_; // the ports' locks
private slots:
    void mostrarPuerto_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("4") << "4" << 4;
        QTest::newRow("04") << "04" << 4;
        QTest::newRow("10") << "10" << 10;
    }
    void mostrarPuerto() {
        QFETCH(QString, text);
        QFETCH(int, number);
        Pty pty;
        MSComm1 port([&](int) { return std::optional(pty.path()); });
        RecordingStatus status;
        AbrirPuerto(port, text);
        AbrirPuerto(port, text); // reopening the open port closes it first
        QVERIFY(port.PortOpen());
        MostrarPuerto(port, status);
        QCOMPARE(status.panel[2], QStringList{QStringLiteral("COM%1: 2400,N,8,1").arg(number)});
    }

    // A failed reopen: the box, panel 1, and no port open. A description
    // starts the box's text, in our words whatever the system said; "%1"
    // stands for the device tried, %P for the one port present, %L for its
    // stable name and %C for the program that holds the port.
    void openFailures_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("commPort");
        QTest::addColumn<QString>("description");
        QTest::newRow("letters") << "abc" << 4 << "\"abc\" no es un número de puerto";
        // Cut to 16 bits it would be 4, the open port.
        QTest::newRow("too large")
            << "65540" << 4 << "El número de puerto \"65540\" está fuera de rango";
        QTest::newRow("zero") << "0" << 4
                              << "El número de puerto 0 no es válido: debe estar entre 1 y 255";
        QTest::newRow("missing") << "7" << 7
                                 << "COM7 (%1): el dispositivo no existe. Puertos serie en este "
                                    "equipo: %P. Para usarlo como COM7: horvex --map-port 7=%L";
        QTest::newRow("a device that is no port")
            << "5" << 5 << "COM5 (%1): no es un puerto serie. Puertos serie en este equipo: %P.";
        QTest::newRow("a folder") << "6" << 6 << "COM6 (%1): no es un puerto serie. Puertos";
        QTest::newRow("held by another program")
            << "9" << 9 << "COM9 (%1): el puerto está en uso por otro programa: %C\r\n";
        // A link to the held device shares its lock.
        QTest::newRow("held, through a link")
            << "8" << 8 << "COM8 (%1): el puerto está en uso por otro programa: %C\r\n";
    }
    void openFailures() {
        QFETCH(QString, text);
        QFETCH(QString, description);
        QFETCH(int, commPort);
        Pty pty, held;
        QTemporaryDir dir;
        const QString link = dir.filePath("by-id-link");
        QVERIFY(QFile::link(held.path(), link));
        const std::map<int, QString> devices{{4, pty.path()}, {5, "/dev/null"},
                                             {6, dir.path()}, {7, "/nonexistent/ttyHX"},
                                             {8, link},       {9, held.path()}};
        const auto map = [&](int n) { return std::optional(devices.at(n)); };
        QTemporaryDir byId;
        const QString stable = byId.filePath("usb-FTDI_FT232R_A12345-if00-port0");
        QVERIFY(QFile::link(pty.path(), stable));
        qputenv("HORVEX_SERIAL_BY_ID", byId.path().toLocal8Bit());
        MSComm1 port(map);
        AbrirPuerto(port, QStringLiteral("4"));
        const HoldingProgram other(held.path());

        RecordingStatus status;
        RecordingBox box;
        try {
            AbrirPuerto(port, text);
            QFAIL("opened");
        } catch (const Failure& f) {
            ErrorPuerto(f.description(), box, status);
        }
        QCOMPARE(box.titles, QStringList{"Fallo Inicializacion de Puerto!"});
        if (description.contains(QLatin1String("%1")))
            description = description.arg(devices.at(commPort))
                              .replace(QLatin1String("%P"), pty.path())
                              .replace(QLatin1String("%L"), stable)
                              .replace(QLatin1String("%C"), other.text());
        QCOMPARE(box.prompts.size(), 1);
        QVERIFY2(box.prompts[0].startsWith("Error: " + description) &&
                     box.prompts[0].endsWith("no existe. Configure otro Puerto Serie"),
                 qPrintable(box.prompts[0]));
        QCOMPARE(status.panel, (QMap<int, QStringList>{{1, {"Error de Puerto Serie ..."}}}));
        QVERIFY(!port.PortOpen());
    }

    // The PC's own port is COM1 already: the advice is to choose it.
    void builtInPortAdvice() {
        PresentPort own;
        own.device = QStringLiteral("/dev/ttyS0");
        const QString advice = missingDeviceAdvice(4, {own});
        QVERIFY2(advice.endsWith(", que es COM1: elija COM1 en las opciones de puerto (con --sync: "
                                 "--port 1), o para que COM4 lo abra siempre: horvex --map-port "
                                 "4=/dev/ttyS0"),
                 qPrintable(advice));
    }

    // A device the user may not open: the reason comes with the dialout advice.
    // Run as root, the open is tried as nobody, whom the 0600 device refuses.
    void permissionDenied() {
        Pty pty;
        QVERIFY(::chmod(qPrintable(pty.path()), 0600) == 0);
        MSComm1 port([&](int) { return std::optional(pty.path()); });
        const bool asRoot = ::geteuid() == 0;
        if (asRoot)
            QVERIFY(::seteuid(65534) == 0);
        else
            QVERIFY(::chmod(qPrintable(pty.path()), 0) == 0);
        QString reason;
        try {
            AbrirPuerto(port, QStringLiteral("1"));
        } catch (const Failure& f) {
            reason = f.description();
        }
        if (asRoot)
            QVERIFY(::seteuid(0) == 0);
        QVERIFY2(reason.startsWith("COM1 (" + pty.path() +
                                   "): su usuario no tiene permiso para usar el puerto: añádalo "
                                   "al grupo dialout"),
                 qPrintable(reason));
    }
};

QTEST_GUILESS_MAIN(TestPuerto)
#include "test_puerto.moc"
