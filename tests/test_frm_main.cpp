#include "ui/look.h"
#include "ui_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>

using namespace horvex;
using namespace horvex::testing;

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void layoutFollowsTheRowRule() {
        Harness h;
        FrmMain& w = h.start();
        QCOMPARE(w.size(), QSize(659, 491));
        QCOMPARE(w.windowTitle(), QStringLiteral("Horvex v1.12"));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));

        // Slot 11 closes the left column, slot 12 opens the middle one.
        QCOMPARE(h.child<QLabel>("HH_11")->geometry(), twipRect(180, 4620, 495, 255));
        QCOMPARE(h.child<QComboBox>("cboHH_11")->geometry(), twipRect(720, 4560, 675, 315));
        QCOMPARE(h.child<QLabel>("HH_12")->geometry(), twipRect(3300, 660, 495, 255));
        QCOMPARE(h.child<QCheckBox>("chkAla_35")->geometry(), twipRect(9180, 4620, 255, 255));
        QCOMPARE(h.child<QLabel>("MM_7")->geometry().height(), px(315));
        QCOMPARE(h.child<QLabel>("HH_7")->text(), QStringLiteral("H07 :"));
        QCOMPARE(h.child<QLabel>("MM_7")->text(), QStringLiteral("M07 :"));
        QVERIFY(h.child<QCheckBox>("chkAla_7")->text().isEmpty());
        for (const char* name : {"Opciones", "Grabo", "Acerca", "salir"}) {
            auto* button = h.child<QToolButton>(name);
            QVERIFY(button->text().isEmpty() ||
                    button->toolButtonStyle() == Qt::ToolButtonIconOnly);
            QVERIFY(!button->toolTip().isEmpty());
        }
        QCOMPARE(h.child<QToolButton>("Acerca")->toolTip(), QStringLiteral("Acerca de ..."));

        // Enlarging moves nothing but the docked status bar.
        w.show();
        w.resize(900, 700);
        QTRY_COMPARE(w.size(), QSize(900, 700));
        QCOMPARE(h.child<QComboBox>("cboHH_11")->geometry(), twipRect(720, 4560, 675, 315));
        const QRect bar = h.child<QStatusBar>("StatusBar1")->geometry();
        QCOMPARE(bar, QRect(0, 700 - px(375), 900, px(375)));
    }

    void tabOrder() {
        Harness h;
        FrmMain& w = h.start();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), h.child<QWidget>("Actualizar"));
        const auto next = [&](const QString& from) {
            h.child<QWidget>(from)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            return QApplication::focusWidget()->objectName();
        };
        QCOMPARE(next("Actualizar"), QStringLiteral("Opciones"));
        QCOMPARE(next("cmbCorto"), QStringLiteral("cboHH_0"));
        QCOMPARE(next("cboHH_11"), QStringLiteral("cboMM_11"));
        QCOMPARE(next("cboMM_11"), QStringLiteral("cboHH_12"));
        QCOMPARE(next("cboMM_35"), QStringLiteral("Grabo"));
        QCOMPARE(next("Grabo"), QStringLiteral("chkAla_0"));
        QCOMPARE(next("chkAla_35"), QStringLiteral("cmbLargo"));
    }

    void changesReachTheirMirrorsOnly() {
        Harness h;
        FrmMain& w = h.start();
        const Module1 before = w.module();

        auto* hour = h.child<QComboBox>("cboHH_3");
        hour->setFocus();
        for (int i = 0; i < 24 - 7; ++i)
            QTest::keyClick(hour, Qt::Key_Up); // from "24" up to "07"
        QCOMPARE(w.module().AlaHora[3], QStringLiteral("07"));
        for (std::size_t i = 0; i < kSlots; ++i) {
            if (i != 3)
                QCOMPARE(w.module().AlaHora[i], before.AlaHora[i]);
            QCOMPARE(w.module().AlaMin[i], before.AlaMin[i]);
        }

        auto* box = h.child<QCheckBox>("chkAla_35");
        box->click();
        QCOMPARE(w.module().AlaChk[35], 1);
        box->click();
        QCOMPARE(w.module().AlaChk[35], 0);

        auto* ring = h.child<QComboBox>("cmbLargo");
        QTest::keyClick(ring, Qt::Key_Down);
        QCOMPARE(w.module().TAlaLargo, QStringLiteral("06"));
    }

    void saveWritesAfterItsPause() {
        Harness h;
        FrmMain& w = h.start();
        QStringList duringPause;
        h.pause.during = [&](double) {
            duringPause << w.panelText(1)
                        << QString::number(QFile::exists(h.sandbox.file()) &&
                                           QSettings(h.sandbox.file(), QSettings::IniFormat)
                                               .contains(QStringLiteral("HH/cboHH0")));
        };
        h.pause.pauses.clear();
        w.Grabo_Click();
        QCOMPARE(h.pause.pauses, std::vector<double>{2});
        QCOMPARE(duringPause, QStringList({QStringLiteral("Grabando datos en memoria ..."), "0"}));
        QCOMPARE(QSettings(h.sandbox.file(), QSettings::IniFormat).value("HH/cboHH0").toString(),
                 QStringLiteral("24"));
        QCOMPARE(w.panelText(1), QString());
        QCOMPARE(h.ended, 0);
    }

    void exitSavesThenPausesThenEnds() {
        Harness h;
        FrmMain& w = h.start();
        QStringList duringPause;
        h.pause.during = [&](double) {
            duringPause
                << w.panelText(1)
                << QSettings(h.sandbox.file(), QSettings::IniFormat).value("TAla/Corto").toString()
                << QString::number(h.ended);
        };
        w.salir_Click();
        QCOMPARE(duringPause,
                 QStringList({QStringLiteral("Saliendo y grabando datos..."), "02", "0"}));
        QCOMPARE(h.ended, 1);
    }

    void closeBoxEndsWithoutSaving() {
        Harness h;
        FrmMain& w = h.start();
        w.show();
        w.close();
        QCOMPARE(h.ended, 1);
        QVERIFY(!QSettings(h.sandbox.file(), QSettings::IniFormat).contains("TAla/Corto"));
    }

    void failedSaveIsReportedAndExitStillEnds() {
        Harness h;
        FrmMain& w = h.start();
        // The store's folder replaced by a plain file: nothing can be written there.
        QDir(QFileInfo(h.sandbox.file()).absolutePath()).removeRecursively();
        QFile blocker(QFileInfo(h.sandbox.file()).absolutePath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        w.Grabo_Click();
        QVERIFY2(w.panelText(1).startsWith(QStringLiteral("No se grabaron los datos")),
                 qPrintable(w.panelText(1)));
        w.salir_Click();
        QVERIFY(w.panelText(1).startsWith(QStringLiteral("No se grabaron los datos")));
        QCOMPARE(h.ended, 1);
    }

    // The pause pumps events, so the clock keeps running during a command.
    void clockRunsDuringAPause() {
        Harness h;
        FrmMain& w = h.start();
        auto* hora = h.child<QLabel>("Hora");
        QCOMPARE(hora->text(), QStringLiteral("09:05:07  "));
        h.now = QTime(9, 5, 8);
        h.pause.during = [](double) { QTest::qWait(1100); };
        w.Grabo_Click();
        QCOMPARE(hora->text(), QStringLiteral("09:05:08  "));
        QCOMPARE(w.module().SegAct, QStringLiteral("&H08"));
    }
};

QTEST_MAIN(TestFrmMain)
#include "test_frm_main.moc"
