#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload.h"
#include "fakes.h"

#include <csignal>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>

using namespace horvex;
using namespace horvex::testing;

namespace {

// One upload against a pseudo-terminal, with every pause recorded.
struct Rig {
    Sandbox sandbox; // the port's lock
    Pty pty;
    Module1 m;
    MSComm1 port{[this](int) { return std::optional(pty.path()); }};
    RecordingStatus status;
    RecordingBox box;
    RecordingPause pause;
    ClockSchedule shown = unsetSchedule();
    qsizetype pausesBeforeBuild = -1;
    QList<UploadOutcome> recorded;
    std::optional<UploadRecord> file; // where the lines go as well, if set
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
                          if (file)
                              file->append(o);
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
    // What the clock must get, written out rather than built: 14:05:09,
    // H00 24:59 long (0xD4 0x89), the other slots unset, rings 02 and 05.
    static QByteArray frame() {
        return QByteArray::fromHex("02443539D489" + QByteArray("5430").repeated(35) +
                                   "32354B540D0A");
    }
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
        QCOMPARE(r.pause.since.size(), kFrameLength); // each counted from its write
        QCOMPARE(r.pausesBeforeBuild, 2);
        QCOMPARE(r.status.panel[1],
                 QStringList({"Conecte el Reloj y verifique que se encuentra encendido",
                              "Preparando datos ...", "Transmitiendo datos al RELOJ ...",
                              "--- Debe responder el reloj con un beep ---", ""}));
        QVERIFY(r.box.prompts.isEmpty());
        QVERIFY(!r.cmd.running());
        QCOMPARE(r.recorded.size(), 2); // opened before the first character, closed after
        const UploadOutcome &opened = r.recorded[0], &closed = r.recorded[1];
        QCOMPARE(std::tuple(opened.opening, closed.opening, closed.id),
                 std::tuple(true, false, opened.id));
        QCOMPARE(std::tuple(closed.origin, closed.reason, closed.sent),
                 std::tuple(QStringLiteral("ventana"), QString(), kFrameLength));
        QCOMPARE(closed.frame, r.frame());

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
            << ": la línea falló (error de entrada y salida): ¿se desconectó el adaptador o el "
               "cable? (envío interrumpido: enviados 8 de 82 caracteres)";
        // Checked at start-up, gone since: said when the frame would go.
        QTest::newRow("unplugged since it was opened")
            << "gone" << 0 << ": el dispositivo no existe. Puertos serie en este equipo: ";
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
        if (scenario == QLatin1String("gone"))
            r.pty.closeMaster();
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
        // Still chosen: the next upload opens the device afresh.
        QCOMPARE(r.port.PortOpen(), scenario != "closed");
        // Real-time only while the frame went out, where the system allows it.
        if (sent > 0)
            QCOMPARE(policyDuring, ::geteuid() == 0 ? SCHED_FIFO : SCHED_OTHER);
        QCOMPARE(std::pair(::sched_getscheduler(0), ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0)),
                 std::pair(SCHED_OTHER, slackBefore));
        QCOMPARE(r.recorded.size(), sent > 0 ? 2 : 1); // nothing on the line, no opening line
        QCOMPARE(r.recorded.last().sent, sent);
        QVERIFY(r.box.prompts[0].contains(r.recorded.last().reason));
    }

    // A stop signal (a logout) outside the frame ends the program at once;
    // during the frame it waits for the last character and the closing line.
    void stopSignalWaitsForTheFrame() {
        for (const auto& [at, sent] : {std::pair(1, 0), std::pair(20, kFrameLength)}) {
            QTemporaryDir dir;
            Rig r;
            r.file.emplace(dir.filePath(QStringLiteral("envios.log")));
            r.port.setPortOpen(true);
            r.pause.during = [&, at = at](double) {
                if (r.pause.pauses.size() == at)
                    ::raise(SIGTERM);
            };
            const pid_t child = ::fork();
            if (child == 0) {
                std::signal(SIGTERM, SIG_DFL); // as in the program, not the test's crash report
                r.cmd.Actualizar_Click();
                ::_exit(0);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
            QCOMPARE(r.pty.drain().size(), sent);
            const QList<RecordedUpload> recorded = r.file->recent(2);
            QCOMPARE(recorded.size(), sent > 0 ? 1 : 0);
            QVERIFY(sent == 0 || recorded[0].state == RecordedUpload::State::Sent);
        }
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
        // Asleep until just short of 10 ms, the rest awake: never under 10 ms.
        // How far over depends on the machine's load, so only a stuck wait
        // fails the upper bound.
        using std::chrono::milliseconds;
        QVERIFY(deadlines[0] > since + milliseconds(9) && deadlines[0] < since + milliseconds(10));
        QVERIFY(afterFirst >= since + milliseconds(10) && afterFirst < since + milliseconds(100));
        QVERIFY(deadlines[1] >= before + std::chrono::milliseconds(500));

        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(2);
        SleepPause::sleepUntilDeadline(deadline);
        QVERIFY(Clock::now() >= deadline);
    }
};

QTEST_GUILESS_MAIN(TestUpload)
#include "test_upload.moc"
