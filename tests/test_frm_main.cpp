#include "clocklink/frame.h"
#include "fakes.h"
#include "ui/to_front.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QStatusBar>

using namespace horvex;
using namespace horvex::testing;

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void layout() {
        Harness h;
        FrmMain& w = h.start();
        // Slot 11 closes the left column, slot 12 opens the middle one at the top.
        auto* slot11 = h.child<QComboBox>("cboMM_11");
        const QRect before = slot11->geometry();
        QCOMPARE(h.child<QLabel>("HH_12")->y(), h.child<QLabel>("HH_0")->y());
        QVERIFY(h.child<QLabel>("HH_12")->x() > before.right());
        QCOMPARE(h.child<QLabel>("HH_7")->text() + h.child<QLabel>("MM_7")->text(), "H07 :M07 :");

        // Enlarging moves nothing but the docked status bar.
        w.show();
        w.resize(900, 700);
        QTRY_COMPARE(w.size(), QSize(900, 700));
        QCOMPARE(slot11->geometry(), before);
        const QRect bar = h.child<QStatusBar>("StatusBar1")->geometry();
        QCOMPARE(std::tuple(bar.left(), bar.bottom(), bar.width()), std::tuple(0, 699, 900));
    }

    void tabOrderAndCloseBox() {
        Harness h;
        FrmMain& w = h.start();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), h.child<QWidget>("Actualizar"));
        const std::pair<const char*, const char*> steps[] = {{"cboMM_11", "cboHH_12"},
                                                             {"cboMM_35", "Grabo"},
                                                             {"Grabo", "chkAla_0"},
                                                             {"chkAla_35", "cmbLargo"}};
        for (const auto& [from, to] : steps) {
            h.child<QWidget>(from)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(to));
        }
        // A screen reader that turns up gets a name for every slot's controls.
        QAccessible::setActive(true);
        QCOMPARE(h.child<QWidget>("chkAla_7")->accessibleName(), QStringLiteral("Largo H07"));
        w.close(); // the close box ends without saving
        QCOMPARE(h.ended, 1);
        QVERIFY(!h.sandbox.get("TAla/Corto").isValid());
    }

    // Save: text, pause, then written, then empty. Exit: text, written,
    // pause, end. Pressed again during its pause, a command runs again.
    void saveAndExitSequences() {
        Harness h;
        FrmMain& w = h.start();
        QStringList seen;
        const auto look = [&] {
            seen << w.panelText(1) << h.sandbox.get("HH/cboHH0").toString()
                 << QString::number(h.ended);
        };
        const auto pressAgain = [&](void (FrmMain::*command)()) {
            h.pause.during = [&, command](double) {
                look();
                if (h.pause.pauses.size() == 1)
                    (w.*command)();
            };
        };
        h.pause.pauses.clear();
        pressAgain(&FrmMain::Grabo_Click);
        w.Grabo_Click();
        QCOMPARE(h.pause.pauses, QList<double>({2, 2}));
        QCOMPARE(seen, QStringList({"Grabando datos en memoria ...", "", "0",
                                    "Grabando datos en memoria ...", "", "0"}));
        QCOMPARE(h.sandbox.get("HH/cboHH0").toString(), QStringLiteral("24"));
        QCOMPARE(w.panelText(1), QString());

        w.module().AlaHora[0] = QStringLiteral("13");
        seen.clear();
        h.pause.pauses.clear();
        pressAgain(&FrmMain::salir_Click);
        w.salir_Click();
        QCOMPARE(seen, QStringList({"Saliendo y grabando datos...", "13", "0",
                                    "Saliendo y grabando datos...", "13", "0"}));
        QCOMPARE(h.ended, 2); // the program ends at the first
    }

    // A save that fails, or saves refused from the start (the window lock
    // could not be made), are reported in panel 1; uploading and Salir still
    // work.
    void failedSaveIsReportedAndExitStillEnds_data() {
        QTest::addColumn<QString>("refusal");
        QTest::newRow("folder is a file") << QString();
        QTest::newRow("no window lock")
            << "no se puede escribir en /home/operador/.config/Horvex/Horvex.conf.ventana: "
               "Read-only file system";
    }
    void failedSaveIsReportedAndExitStillEnds() {
        QFETCH(QString, refusal);
        Harness h;
        if (!refusal.isEmpty()) // as when the window lock could not be made
            h.store->refuseSaves(refusal);
        FrmMain& w = h.start();
        if (refusal.isEmpty()) {
            // The store's folder replaced by a plain file: nothing can be written there.
            const QString folder = QFileInfo(h.sandbox.file()).absolutePath();
            QDir(folder).removeRecursively();
            QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
        } else {
            QCOMPARE(w.panelText(1), "No se podrán grabar los datos: " + refusal);
            w.Actualizar_Click();
            QCOMPARE(h.line.drain().size(), 82);
        }

        w.Grabo_Click();
        QVERIFY2(w.panelText(1).startsWith("No se grabaron los datos: " + refusal),
                 qPrintable(w.panelText(1)));
        // Too long for its panel: shown shortened, whole as the tooltip.
        QCOMPARE(h.child<QLabel>("Panel1")->toolTip(), w.panelText(1));
        w.salir_Click();
        QVERIFY(w.panelText(1).startsWith("No se grabaron los datos"));
        QCOMPARE(h.ended, 1);
        if (!refusal.isEmpty())
            QCOMPARE(h.sandbox.keys(), QStringList{"Puertos/COM4"});
    }

    // A second start sends the running window SIGUSR1: it comes to the front.
    void secondStartCallsTheWindowToFront() {
        Harness h;
        FrmMain& w = h.start();
        ToFrontOnSignal toFront;
        toFront.setWindow(&w);
        w.showMinimized();
        QVERIFY(w.isMinimized());
        QVERIFY(callToFront(QCoreApplication::applicationPid()));
        QTRY_VERIFY(!w.isMinimized());
        QVERIFY(!callToFront(1)); // not this program
    }

    // From the first to the last character nothing else runs: a command or
    // the close box waits for the frame, then runs.
    void commandsWaitForTheFrame_data() {
        QTest::addColumn<QString>("command");
        for (const char* command : {"Grabo", "salir", "Acerca", "Opciones", "close box"})
            QTest::newRow(command) << command;
    }
    void commandsWaitForTheFrame() {
        QFETCH(QString, command);
        Harness h;
        FrmMain& w = h.start();
        BoxCloser closer(true);
        int sent = 0;
        QList<int> ranAfter; // characters out when the command showed itself
        h.pause.during = [&](double seconds) {
            if (seconds == 0.01 && ++sent == 20) {
                if (command == "close box")
                    w.close();
                else
                    QMetaObject::invokeMethod(h.child<QWidget>(command), "click");
            }
            QCoreApplication::processEvents(); // the pump; a dialog opened here is closed
            if (sent > 0 && (h.ended > 0 || !closer.titles.isEmpty() ||
                             w.panelText(1) != QStringLiteral("Transmitiendo datos al RELOJ ...")))
                ranAfter << sent;
        };
        h.pause.pauses.clear();
        w.Actualizar_Click();

        QCOMPARE(h.line.drain().size(), 82);
        QVERIFY(!ranAfter.isEmpty());
        QCOMPARE(ranAfter.first(), 82);
        QCOMPARE(h.ended, command == "salir" || command == "close box" ? 1 : 0);
        QCOMPARE(h.endedWhenRecorded, QList<int>({0, 0})); // opened and closed first
    }

    // The pause pumps events, so the clock keeps running during a command.
    void clockRunsDuringAPause() {
        Harness h;
        FrmMain& w = h.start();
        auto* hora = h.child<QLabel>("Hora");
        QCOMPARE(hora->text(), QStringLiteral("09:05:07  "));
        h.now = QTime(9, 5, 8);
        // Waits in the pause for the next tick (about a second), no longer.
        h.pause.during = [&](double) {
            (void)QTest::qWaitFor([&] { return hora->text() == QStringLiteral("09:05:08  "); },
                                  5000);
        };
        w.Grabo_Click();
        QCOMPARE(hora->text(), QStringLiteral("09:05:08  "));
    }

    // How panel 1 tells an upload the window did not make: who chose what
    // was sent, when it went out, the bells the frame holds.
    void otherUploadsTold_data() {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("rules");
        QTest::addColumn<int>("bells");
        QTest::addColumn<QString>("told");
        QTest::newRow("timer, calendar") << "sync"
                                         << "lunes: semana; hora del PC sin sincronizar" << 8
                                         << "Enviado por el calendario a las 14:15: 8 timbres";
        QTest::newRow("calendar window")
            << "calendario"
            << "" << 1 << "Enviado por el calendario a las 14:15: 1 timbre";
        QTest::newRow("stored schedule") << "sync"
                                         << "hora del PC sin sincronizar" << 0
                                         << "Enviado por horvex --sync a las 14:15: 0 timbres";
        QTest::newRow("schedule file")
            << "sync"
            << "--schedule viernes.ini" << 2 << "Enviado por horvex --sync a las 14:15: 2 timbres";
    }
    void otherUploadsTold() {
        QFETCH(QString, origin);
        QFETCH(QString, rules);
        QFETCH(int, bells);
        QFETCH(QString, told);
        ClockSchedule sent = unsetSchedule();
        for (int i = 0; i < bells; ++i)
            sent.alarms[static_cast<std::size_t>(i)] = {QStringLiteral("08"),
                                                        QStringLiteral("%1").arg(10 + i), 0};
        UploadOutcome o;
        o.at = QDateTime(QDate(2027, 3, 15), QTime(14, 15, 9));
        o.origin = origin;
        o.rules = rules;
        o.frame = buildFrame(sent, QStringLiteral("&H14"), QStringLiteral("&H15"),
                             QStringLiteral("&H09"));
        QCOMPARE(UploadNews::text(o), told);
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_frm_main.moc"
