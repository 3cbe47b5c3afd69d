#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload.h"
#include "fakes.h"

#include <sched.h>
#include <sys/prctl.h>

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
    QList<UploadOutcome> recorded;
    bool recordFails = false;
    UploadCommand cmd{m,
                      port,
                      status,
                      box,
                      pause,
                      [this] {
                          pausesBeforeBuild = pause.pauses.size();
                          return shown;
                      },
                      [this](const UploadOutcome& o) {
                          recorded << o;
                          if (recordFails)
                              throw Failure(QStringLiteral("no se pudo anotar el envío en x: y"));
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
        QCOMPARE(r.pause.pauses, Rig::expectedPauses(kFrameLength, true));
        QCOMPARE(r.pausesBeforeBuild, 2);
        QCOMPARE(r.status.panel[1],
                 QStringList({"Conecte el Reloj y verifique que se encuentra encendido",
                              "Preparando datos ...", "Transmitiendo datos al RELOJ ...",
                              "--- Debe responder el reloj con un beep ---", ""}));
        QVERIFY(r.box.prompts.isEmpty());
        QVERIFY(!r.cmd.running());
        QCOMPARE(r.recorded.size(), 1);
        QCOMPARE(std::tuple(r.recorded[0].origin, r.recorded[0].reason, r.recorded[0].sent),
                 std::tuple(QStringLiteral("ventana"), QString(), kFrameLength));
        QCOMPARE(r.recorded[0].frame, r.frame());

        // A record that cannot be kept is said once the command's own texts are over.
        r.recordFails = true;
        r.cmd.Actualizar_Click();
        QCOMPARE(r.status.panel[1].mid(9), QStringList({"", "No se pudo anotar el envío en x: y"}));
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
        const int slackBefore = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        int policyDuring = -1;
        r.pause.during = [&](double seconds) {
            if (seconds == 0.01)
                policyDuring = ::sched_getscheduler(0);
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
        QCOMPARE(r.port.PortOpen(), scenario == "empty"); // a cut frame closes the port
        // Real-time only while the frame went out, where the system allows it.
        if (sent > 0)
            QCOMPARE(policyDuring, ::geteuid() == 0 ? SCHED_FIFO : SCHED_OTHER);
        QCOMPARE(std::pair(::sched_getscheduler(0), ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)),
                 std::pair(SCHED_OTHER, slackBefore));
        QCOMPARE(r.recorded.size(), 1);
        QCOMPARE(r.recorded[0].sent, sent);
        QVERIFY(r.box.prompts[0].contains(r.recorded[0].reason));
    }

    // A character's pause counts from the start of its write: the time spent
    // writing and pumping events falls inside it. Tiempo sleeps, then pumps.
    void pausesEndAtTheirDeadlines() {
        using Clock = Pause::Clock;
        QStringList order;
        QList<Clock::time_point> deadlines;
        SleepPause pause([&](Clock::time_point deadline) {
            order << "sleep";
            deadlines << deadline;
        });
        const auto busy = [&] {
            order << "event";
            const Clock::time_point until = Clock::now() + std::chrono::milliseconds(3);
            while (Clock::now() < until) {
            }
        };
        const Clock::time_point since = Clock::now() - std::chrono::milliseconds(4);
        QTimer::singleShot(0, this, busy);
        pause.TiempoDesde(since, 0.01);
        const Clock::time_point afterFirst = Clock::now();
        QTimer::singleShot(0, this, busy);
        const Clock::time_point before = Clock::now();
        pause.Tiempo(0.5);
        QCOMPARE(order, QStringList({"event", "sleep", "sleep", "event"}));
        QCOMPARE(deadlines[0] + SleepPause::kAwake,
                 since + std::chrono::milliseconds(10) + SleepPause::kMargin);
        QVERIFY(afterFirst >= deadlines[0] + SleepPause::kAwake); // never ends early
        QVERIFY(deadlines[1] >= before + std::chrono::milliseconds(500));

        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(2);
        SleepPause::sleepUntilDeadline(deadline);
        QVERIFY(Clock::now() >= deadline);
    }
};

QTEST_GUILESS_MAIN(TestUpload)
#include "test_upload.moc"
