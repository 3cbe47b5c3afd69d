#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload.h"
#include "clocklink_fakes.h"

#include <QTest>
#include <QTimer>

using namespace horvex;

namespace {

// One upload against a pseudo-terminal, with every pause recorded.
struct Rig {
    Pty pty;
    Module1 m;
    MSComm1 port{[this](int) { return std::optional(pty.path()); }};
    RecordingStatus status;
    RecordingBox box;
    RecordingPause pause;
    ClockSchedule shown;
    int pausesBeforeBuild = -1;
    UploadCommand cmd{m, port, status, box, pause, [this] {
                          pausesBeforeBuild = int(pause.pauses.size());
                          return shown;
                      }};

    Rig() {
        for (AlarmSlot& slot : shown.alarms)
            slot = {QStringLiteral("24"), QStringLiteral("00"), 0};
        shown.alarms[0] = {QStringLiteral("24"), QStringLiteral("59"), 1}; // 0xD4 0x89
        shown.shortRing = QStringLiteral("02");
        shown.longRing = QStringLiteral("05");
        m.HoraAct = QStringLiteral("&H14");
        m.MinAct = QStringLiteral("&H05");
        m.SegAct = QStringLiteral("&H09");
    }
    QByteArray frame() const { return buildFrame(shown, m.HoraAct, m.MinAct, m.SegAct); }
    // The pauses of the sender, then 1 s and 2 s when the command ran through.
    QList<double> expectedPauses(int sent, bool ranThrough) const {
        QList<double> p{2, 2};
        p.append(QList<double>(sent, 0.01));
        if (ranThrough)
            p << 1 << 2;
        return p;
    }
};

const QString kConecte = QStringLiteral("Conecte el Reloj y verifique que se encuentra encendido");
const QString kPreparando = QStringLiteral("Preparando datos ...");
const QString kTransmitiendo = QStringLiteral("Transmitiendo datos al RELOJ ...");

} // namespace

class TestUpload : public QObject {
    Q_OBJECT
private slots:
    void uploadSendsTheFramePaced() {
        Rig r;
        AbrirPuerto(r.port, QStringLiteral("4"));
        r.cmd.Actualizar_Click();

        const QByteArray sent = r.pty.drain();
        QCOMPARE(sent.size(), kFrameLength);
        QCOMPARE(sent.toHex(' '), r.frame().toHex(' ')); // raw line: 0x80 and up, CR LF intact
        QCOMPARE(r.m.LargoTx, "82");
        QCOMPARE(r.pause.pauses, r.expectedPauses(kFrameLength, true));
        QCOMPARE(r.pausesBeforeBuild, 2);
        QCOMPARE(r.status.panel(1),
                 (QStringList{kConecte, kPreparando, kTransmitiendo,
                              "--- Debe responder el reloj con un beep ---", ""}));
        QVERIFY(r.box.prompts.isEmpty());
        QVERIFY(r.port.PortOpen());
    }

    void secondPressDuringUploadIsIgnored() {
        Rig r;
        AbrirPuerto(r.port, QStringLiteral("4"));
        r.pause.during = [&](int n) {
            if (n == 1 || n == 20)
                r.cmd.Actualizar_Click();
        };
        r.cmd.Actualizar_Click();
        QCOMPARE(r.pty.drain(), r.frame());
        QCOMPARE(r.pause.pauses, r.expectedPauses(kFrameLength, true));
        QVERIFY(!r.cmd.running());
    }

    void failuresStopTheCommand_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("description"); // "%1": the device
        const QString cut = QStringLiteral(" (envío interrumpido: enviados 8 de 82 caracteres)");
        QTest::newRow("port closed")
            << "closed" << 0 << "COM4 no está abierto: no se ha enviado nada al reloj";
        QTest::newRow("empty list") << "empty" << 0 << "Hora H07: ningún valor seleccionado";
        QTest::newRow("closed mid-frame")
            << "close" << 8 << "COM4 (%1): el puerto no está abierto" + cut;
        QTest::newRow("hang-up mid-frame")
            << "hangup" << 8 << "COM4 (%1): Input/output error" + cut;
    }
    void failuresStopTheCommand() {
        QFETCH(QString, scenario);
        QFETCH(int, sent);
        QFETCH(QString, description);
        Rig r;
        const QByteArray frame = r.frame();
        r.port.setCommPort(4);
        if (scenario != QLatin1String("closed"))
            r.port.setPortOpen(true);
        if (scenario == QLatin1String("empty"))
            r.shown.alarms[7].hour.clear();
        QByteArray received;
        r.pause.during = [&](int n) {
            if (n != 2 + sent || sent == 0)
                return;
            received = r.pty.drain();
            if (scenario == QLatin1String("close"))
                r.port.setPortOpen(false); // the Options dialog, during a pause
            else
                r.pty.closeMaster();
        };
        r.cmd.Actualizar_Click();

        received += r.pty.drain();
        QCOMPARE(received, frame.left(sent));
        QCOMPARE(r.pause.pauses, r.expectedPauses(sent, false));
        QCOMPARE(r.box.titles, QStringList{"Fallo Inicializacion de Puerto!"});
        if (description.contains(QLatin1String("%1")))
            description = description.arg(r.pty.path());
        QCOMPARE(r.box.prompts, QStringList{portPrompt(description)});
        QCOMPARE(r.status.panel(1).last(), "Error de Puerto Serie ...");
        QVERIFY(!r.cmd.running());
        if (sent > 0)
            QVERIFY(!r.port.PortOpen());
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
