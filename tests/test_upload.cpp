#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload.h"
#include "fakes.h"

using namespace horvex;
using namespace horvex::testing;

namespace {

// One upload against a pseudo-terminal, with every pause recorded.
struct Rig {
    Pty pty;
    Module1 m;
    MSComm1 port{[this](int) { return std::optional(pty.path()); }};
    RecordingStatus status;
    RecordingBox box;
    RecordingPause pause;
    ClockSchedule shown = unsetSchedule();
    qsizetype pausesBeforeBuild = -1;
    UploadCommand cmd{m, port, status, box, pause, [this] {
                          pausesBeforeBuild = pause.pauses.size();
                          return shown;
                      }};

    Rig() {
        shown.alarms[0] = {QStringLiteral("24"), QStringLiteral("59"), 1}; // 0xD4 0x89
        m.HoraAct = QStringLiteral("&H14");
        m.MinAct = QStringLiteral("&H05");
        m.SegAct = QStringLiteral("&H09");
        port.setCommPort(4);
    }
    QByteArray frame() const { return buildFrame(shown, m.HoraAct, m.MinAct, m.SegAct); }
    // 2 s, 2 s, 10 ms per character sent, then 1 s and 2 s if it ran through.
    static QList<double> expectedPauses(int sent, bool ranThrough) {
        QList<double> p{2, 2};
        p.append(QList<double>(sent, 0.01));
        if (ranThrough)
            p << 1 << 2;
        return p;
    }
};

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    // Further presses while it runs change nothing.
    void uploadSendsTheFramePaced() {
        Rig r;
        r.port.setPortOpen(true);
        r.pause.during = [&](double) {
            if (r.pause.pauses.size() == 1 || r.pause.pauses.size() == 20)
                r.cmd.Actualizar_Click();
        };
        r.cmd.Actualizar_Click();

        QCOMPARE(r.pty.drain().toHex(' '), r.frame().toHex(' ')); // raw line: 0x80 and up intact
        QCOMPARE(r.frame().size(), kFrameLength);
        QCOMPARE(r.pause.pauses, Rig::expectedPauses(kFrameLength, true));
        QCOMPARE(r.pausesBeforeBuild, 2);
        QCOMPARE(r.status.panel[1],
                 QStringList({"Conecte el Reloj y verifique que se encuentra encendido",
                              "Preparando datos ...", "Transmitiendo datos al RELOJ ...",
                              "--- Debe responder el reloj con un beep ---", ""}));
        QVERIFY(r.box.prompts.isEmpty());
        QVERIFY(!r.cmd.running());
    }

    void failuresStopTheCommand_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("description");
        QTest::newRow("port closed")
            << "closed" << 0 << "COM4 no está abierto: no se ha enviado nada al reloj";
        QTest::newRow("empty list") << "empty" << 0 << "Hora H07: ningún valor seleccionado";
        QTest::newRow("hang-up mid-frame")
            << "hangup" << 8
            << ": Input/output error (envío interrumpido: enviados 8 de 82 "
               "caracteres)";
    }
    void failuresStopTheCommand() {
        QFETCH(QString, scenario);
        QFETCH(int, sent);
        QFETCH(QString, description);
        Rig r;
        const QByteArray frame = r.frame();
        r.port.setPortOpen(scenario != QLatin1String("closed"));
        if (scenario == QLatin1String("empty"))
            r.shown.alarms[7].hour.clear();
        QByteArray received;
        r.pause.during = [&](double) {
            if (sent > 0 && r.pause.pauses.size() == 2 + sent) {
                received = r.pty.drain();
                r.pty.closeMaster();
            }
        };
        r.cmd.Actualizar_Click();

        received += r.pty.drain();
        QCOMPARE(received, frame.left(sent));
        QCOMPARE(r.pause.pauses, Rig::expectedPauses(sent, false));
        QCOMPARE(r.box.prompts.size(), 1);
        QVERIFY2(r.box.prompts[0].contains(description), qPrintable(r.box.prompts[0]));
        QCOMPARE(r.status.panel[1].last(), "Error de Puerto Serie ...");
        QVERIFY(!r.cmd.running());
        // A failed write closes the port: nothing still queued goes out later.
        QCOMPARE(r.port.PortOpen(), scenario == QLatin1String("empty"));
    }

    void tiempoPumpsWaitingEventsOnce() {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        SleepPause().Tiempo(0.0);
        QVERIFY(ran);
    }
};

QTEST_GUILESS_MAIN(TestUpload)
#include "test_upload.moc"
