#include "clocklink/port_list.h"
#include "clocklink/puerto.h"
#include "fakes.h"
#include "schedule/failure.h"

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace horvex;
using namespace horvex::testing;

class TestPuerto : public QObject {
    Q_OBJECT
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
    // starts the box's text; "%1" stands for the device tried, %P for the one
    // port present and %L for its stable name.
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
                                 << "COM7 (%1): no existe. Puertos serie en este "
                                    "equipo: %P. Para usarlo como COM7: horvex --map-port 7=%L";
        QTest::newRow("held elsewhere")
            << "9" << 9 << "COM9 (%1): el puerto está en uso por otro programa";
        // A link to the held device shares its lock.
        QTest::newRow("held, through a link")
            << "8" << 8 << "COM8 (%1): el puerto está en uso por otro programa";
    }
    void openFailures() {
        QFETCH(QString, text);
        QFETCH(QString, description);
        QFETCH(int, commPort);
        Pty pty, held;
        QTemporaryDir dir;
        const QString link = dir.filePath("by-id-link");
        QVERIFY(QFile::link(held.path(), link));
        const std::map<int, QString> devices{
            {4, pty.path()}, {7, "/nonexistent/ttyHX"}, {8, link}, {9, held.path()}};
        const auto map = [&](int n) { return std::optional(devices.at(n)); };
        QTemporaryDir byId;
        const QString stable = byId.filePath("usb-FTDI_FT232R_A12345-if00-port0");
        QVERIFY(QFile::link(pty.path(), stable));
        qputenv("HORVEX_SERIAL_BY_ID", byId.path().toLocal8Bit());
        MSComm1 port(map), other(map);
        other.setCommPort(9);
        other.setPortOpen(true);
        AbrirPuerto(port, QStringLiteral("4"));

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
                              .replace(QLatin1String("%L"), stable);
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
        QVERIFY2(reason.contains(QLatin1String("Permission denied")), qPrintable(reason));
        QVERIFY(reason.contains(QLatin1String("dialout")));
    }
};

QTEST_GUILESS_MAIN(TestPuerto)
#include "test_puerto.moc"
