// The whole road without hardware: the real window, settings store, frame
// builder, paced sender and serial layer, with the virtual clock on the far
// end of a pseudo-terminal mapped as COM4. Only the long pauses of the
// command are shortened; the 10 ms pacing is real.

#include "clocklink/tiempo.h"
#include "fakes.h"
#include "listener.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QRegularExpression>
#include <future>
#include <memory>

using namespace horvex;
using namespace horvex::testing;

// The 10 ms pauses between characters are really slept; the command's long
// pauses are skipped.
void paceCharactersOnly(Harness& h) {
    h.pause.during = [pacing = std::make_shared<SleepPause>()](double seconds) {
        if (seconds < 0.05)
            pacing->Tiempo(seconds);
    };
}

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void uploadReachesTheVirtualClock() {
        QString error;
        const std::unique_ptr<reloj::Listener> clock = reloj::Listener::openPty(&error);
        QVERIFY2(clock, qPrintable(error));

        Harness h(false);
        h.sandbox.put(QStringLiteral("Puertos/COM4"), clock->path());
        h.now = QTime(14, 5, 9);
        paceCharactersOnly(h);
        // A box would wait for a click that never comes: close it and fail.
        BoxCloser closer;
        FrmMain& w = h.start();
        QVERIFY2(closer.texts.isEmpty(), qPrintable(closer.texts.join('\n')));
        QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));

        const auto pick = [&](const QString& list, const QString& text) {
            auto* combo = h.child<QComboBox>(list);
            combo->setCurrentIndex(combo->findText(text));
            emit combo->activated(combo->currentIndex());
        };
        pick(QStringLiteral("cboHH_0"), QStringLiteral("07"));
        pick(QStringLiteral("cboMM_0"), QStringLiteral("30"));
        h.child<QCheckBox>("chkAla_0")->click();
        h.child<QCheckBox>("chkAla_5")->click(); // long at "24": 0xD4
        for (int i = 0; i < 2; ++i)
            h.child<QCheckBox>("chkAla_9")->click(); // ticked, then cleared
        pick(QStringLiteral("cboHH_9"), QStringLiteral("00"));
        pick(QStringLiteral("cboMM_9"), QStringLiteral("60"));
        pick(QStringLiteral("cboHH_35"), QStringLiteral("23"));
        pick(QStringLiteral("cboMM_35"), QStringLiteral("59"));
        pick(QStringLiteral("cmbCorto"), QStringLiteral("15"));
        pick(QStringLiteral("cmbLargo"), QStringLiteral("01"));
        const Module1& saved = w.module(); // what Grabar would write: the picks, in their slots
        QCOMPARE(saved.TAlaCorto + saved.TAlaLargo, QStringLiteral("1501"));

        auto received = std::async(std::launch::async, [&] { return clock->next(5000); });
        w.Actualizar_Click();
        QVERIFY2(closer.texts.isEmpty(), qPrintable(closer.texts.join('\n')));
        const std::optional<reloj::Chunk> chunk = received.get();
        QVERIFY2(chunk, qPrintable(clock->error()));

        const reloj::Decoded decoded = reloj::decode(chunk->bytes, chunk->arrivalMs);
        QVERIFY2(decoded.ok(), qPrintable(decoded.problems.value(0).text()));
        const reloj::Frame& f = *decoded.frame;
        QCOMPARE(std::tuple(f.hour, f.minute, f.second), std::tuple(14, 5, 9));
        QCOMPARE(std::tuple(f.shortRing, f.longRing), std::tuple(15, 1));
        QCOMPARE(uchar(chunk->bytes.at(4 + 2 * 5)), uchar(0xD4));
        for (int i = 0; i < reloj::kSlotCount; ++i) {
            const reloj::Slot& s = f.alarms[static_cast<std::size_t>(i)];
            const reloj::Slot expected = i == 0    ? reloj::Slot{7, 30, true}
                                         : i == 5  ? reloj::Slot{24, 0, true}
                                         : i == 9  ? reloj::Slot{0, 60, false}
                                         : i == 35 ? reloj::Slot{23, 59, false}
                                                   : reloj::Slot{24, 0, false};
            QCOMPARE(std::tuple(s.hour, s.minute, s.longRing),
                     std::tuple(expected.hour, expected.minute, expected.longRing));
            const auto at = static_cast<std::size_t>(i);
            QCOMPARE(
                std::tuple(saved.AlaHora[at].toInt(), saved.AlaMin[at].toInt(), saved.AlaChk[at]),
                std::tuple(expected.hour, expected.minute, int(expected.longRing)));
        }
        // Paced, not sent as one block (the figures themselves are the
        // benchmark's business).
        QVERIFY(decoded.gaps && decoded.gaps->medianMs >= 9.0);
        QCOMPARE(w.panelText(1), QString());
    }

    // The window and the timer share the line: the timed run goes out as
    // with no window; an upload from the window and one from --sync at once
    // give two whole frames, both recorded; the window tells of the other.
    void windowAndTimerShareTheLine() {
        QString error;
        const std::unique_ptr<reloj::Listener> clock = reloj::Listener::openPty(&error);
        QVERIFY2(clock, qPrintable(error));
        Harness h(false);
        h.recordToFile = true;
        h.sandbox.write("[Puertos]\nCOM4=" + clock->path().toLocal8Bit() +
                        "\n[HH]\ncboHH0=07\ncboHH1=12\n[MM]\ncboMM0=30\n");
        paceCharactersOnly(h);
        BoxCloser closer;
        FrmMain& w = h.start();
        QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));
        const auto timedRun = [] {
            auto p = std::make_unique<QProcess>();
            p->start(QStringLiteral(HORVEX), {"--sync"});
            return p;
        };
        const QRegularExpression told(
            QStringLiteral("^Enviado por horvex --sync a las \\d\\d:\\d\\d: 2 timbres$"));

        auto received = std::async(std::launch::async, [&] { return clock->next(5000); });
        const std::unique_ptr<QProcess> alone = timedRun();
        QVERIFY(alone->waitForFinished(10000));
        QCOMPARE(alone->exitCode(), 0);
        const std::optional<reloj::Chunk> timed = received.get();
        QVERIFY2(timed && reloj::decode(timed->bytes).ok(), qPrintable(clock->error()));
        w.tellOtherUploads();
        QVERIFY2(told.match(w.panelText(1)).hasMatch(), qPrintable(w.panelText(1)));
        w.setPanelText(1, QString());
        w.tellOtherUploads(); // told once
        QCOMPARE(w.panelText(1), QString());

        auto both = std::async(std::launch::async,
                               [&] { return std::pair(clock->next(5000), clock->next(5000)); });
        const std::unique_ptr<QProcess> together = timedRun();
        QVERIFY(together->waitForStarted());
        w.Actualizar_Click();
        QVERIFY(together->waitForFinished(10000));
        QCOMPARE(together->exitCode(), 0);
        const auto [first, second] = both.get();
        QVERIFY2(first && second, qPrintable(clock->error()));
        QVERIFY(reloj::decode(first->bytes).ok() && reloj::decode(second->bytes).ok());
        QVERIFY2(closer.texts.isEmpty(), qPrintable(closer.texts.join('\n')));
        QStringList origins;
        for (const RecordedUpload& u : UploadRecord().recent(2)) {
            QCOMPARE(u.state, RecordedUpload::State::Sent);
            origins << u.outcome.origin;
        }
        origins.sort();
        QCOMPARE(origins, QStringList({"sync", "ventana"}));
        w.tellOtherUploads(); // the timer's, not the window's own
        QVERIFY2(told.match(w.panelText(1)).hasMatch(), qPrintable(w.panelText(1)));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "test_e2e.moc"
