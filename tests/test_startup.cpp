#include "ui/frm_acerca.h"
#include "ui/frm_ini.h"
#include "ui/frm_opciones.h"
#include "ui_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

using namespace horvex;
using namespace horvex::testing;

namespace {

const QString kStartPrompt =
    QStringLiteral("Conecte el Reloj a la PC y confirme el puerto COMM ...");
const QString kPortError = QStringLiteral("Error de Puerto Serie ...");
const QString kAdvice = QStringLiteral(
    "\n\n      El puerto puede estar usado o no existe. Configure otro Puerto Serie");

bool noticeVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmIni*>(w) != nullptr && w->isVisible())
            return true;
    return false;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void emptyStoreStartsWithDefaults() {
        Harness h;
        FrmMain& w = h.start();
        QCOMPARE(h.pause.pauses, std::vector<double>{0.5});
        QVERIFY(w.port().PortOpen());
        QCOMPARE(w.panelText(1), kStartPrompt);
        QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));
        QCOMPARE(h.child<QLabel>("Hora")->text(), QStringLiteral("09:05:07  "));
        QVERIFY(!noticeVisible());

        QCOMPARE(h.child<QComboBox>("cmbCorto")->currentText(), QStringLiteral("02"));
        QCOMPARE(h.child<QComboBox>("cmbLargo")->currentText(), QStringLiteral("05"));
        QCOMPARE(h.child<QComboBox>("cmbLargo")->count(), 15);
        for (int i = 0; i < kSlots; ++i) {
            auto* hour = h.child<QComboBox>(QStringLiteral("cboHH_%1").arg(i));
            auto* minute = h.child<QComboBox>(QStringLiteral("cboMM_%1").arg(i));
            QCOMPARE(hour->count(), 25);
            QCOMPARE(minute->count(), 61);
            QCOMPARE(hour->currentIndex(), 24); // "24", the last entry
            QCOMPARE(minute->currentText(), QStringLiteral("00"));
            QVERIFY(!h.child<QCheckBox>(QStringLiteral("chkAla_%1").arg(i))->isChecked());
        }
        QCOMPARE(h.child<QComboBox>("cboMM_0")->itemText(60), QStringLiteral("60"));
    }

    // Each failure stops start-up where it happened, with one box.
    void failuresStopTheSequence_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing device") << "Puertos/COM4"
                                        << "/dev/horvex-none"
                                        << "horvex-none";
        QTest::newRow("port text") << "COMM/cboport"
                                   << "abc"
                                   << "abc";
        QTest::newRow("check value") << "ALA/chkAla7"
                                     << "abc"
                                     << "chkAla7";
    }
    void failuresStopTheSequence() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        Harness h;
        h.sandbox.put(QStringLiteral("HH/cboHH35"), QStringLiteral("13"));
        h.sandbox.put(key, value);
        BoxCloser closer;
        FrmMain& w = h.start();

        QCOMPARE(closer.seen.size(), std::size_t{1});
        QCOMPARE(closer.seen[0].title, QStringLiteral("Fallo Inicializacion de Puerto!"));
        QVERIFY(closer.seen[0].text.startsWith(QStringLiteral("Error: ")));
        QVERIFY2(closer.seen[0].text.contains(reason), qPrintable(closer.seen[0].text));
        QVERIFY(closer.seen[0].text.endsWith(kAdvice));
        QCOMPARE(w.panelText(1), kPortError);
        QCOMPARE(w.panelText(2), QString());
        QCOMPARE(h.child<QComboBox>("cboHH_0")->count(), 0);
        QVERIFY(!w.port().PortOpen());
        QVERIFY(noticeVisible());
        QCOMPARE(w.module().AlaHora[35], QStringLiteral("13")); // loaded before any of these

        // The window stays usable: the clock runs and a good port can be chosen.
        h.now = QTime(10, 0, 0);
        w.Timer1_Timer();
        QCOMPARE(h.child<QLabel>("Hora")->text(), QStringLiteral("10:00:00  "));
        PtyLine good;
        h.sandbox.put(QStringLiteral("Puertos/COM3"), good.path());
        FrmOpciones dialog(QStringLiteral("3"), w.port(), w, w);
        dialog.cmdOK_Click();
        QCOMPARE(w.panelText(2), QStringLiteral("COM3: 2400,N,8,1"));
        QCOMPARE(w.panelText(1), QString());
    }

    // A stored text the list does not offer leaves it unselected; the upload
    // then refuses to send rather than send a broken frame.
    void foreignStoredValuesAreShownEmpty() {
        Harness h;
        h.sandbox.put(QStringLiteral("HH/cboHH3"), QStringLiteral("7"));
        h.sandbox.put(QStringLiteral("ALA/chkAla4"), QStringLiteral("2"));
        h.sandbox.put(QStringLiteral("ALA/chkAla5"), QStringLiteral("1"));
        BoxCloser closer;
        FrmMain& w = h.start();
        QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));
        QCOMPARE(h.child<QComboBox>("cboHH_3")->currentIndex(), -1);
        QCOMPARE(w.module().AlaHora[3], QStringLiteral("7"));
        QCOMPARE(h.child<QCheckBox>("chkAla_4")->checkState(), Qt::Unchecked);
        QCOMPARE(w.module().AlaChk[4], 2);
        QVERIFY(h.child<QCheckBox>("chkAla_5")->isChecked());

        w.Actualizar_Click();
        QCOMPARE(closer.seen.size(), std::size_t{1});
        QVERIFY2(closer.seen[0].text.contains(QStringLiteral("H03")),
                 qPrintable(closer.seen[0].text));
        QCOMPARE(h.line.received(), QByteArray());
        QCOMPARE(w.panelText(1), kPortError);
    }

    void optionsDialog() {
        Harness h;
        FrmMain& w = h.start();
        BoxCloser closer;
        {
            FrmOpciones dialog(w.module().PuertoCom, w.port(), w, w);
            auto* cboPort = dialog.findChild<QComboBox*>("cboPort");
            QCOMPARE(cboPort->currentText(), QStringLiteral("04"));
            QCOMPARE(cboPort->count(), 9);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Opciones de Programa"));
            QCOMPARE(dialog.focusWidget()->objectName(), QStringLiteral("cmdOK"));

            dialog.show();
            cboPort->setEditText(QStringLiteral("abc"));
            dialog.cmdOK_Click();
            QVERIFY(dialog.isVisible()); // stays open for another try
            QCOMPARE(closer.seen.size(), std::size_t{1});
            QVERIFY(!w.port().PortOpen());
            QCOMPARE(w.panelText(1), kPortError);
            QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));

            dialog.Command2_Click();
            QVERIFY(!dialog.isVisible());
            QCOMPARE(w.panelText(1), QString());
            QVERIFY(!w.port().PortOpen());
        }
        PtyLine seven;
        h.sandbox.put(QStringLiteral("Puertos/COM7"), seven.path());
        {
            FrmOpciones dialog(w.module().PuertoCom, w.port(), w, w);
            dialog.findChild<QComboBox*>("cboPort")->setCurrentIndex(6);
            dialog.cmdOK_Click();
            QCOMPARE(w.panelText(2), QStringLiteral("COM7: 2400,N,8,1"));
            QVERIFY(w.port().PortOpen());
        }
        // The stored port is untouched: shown again, and saved as it was.
        FrmOpciones again(w.module().PuertoCom, w.port(), w, w);
        QCOMPARE(again.findChild<QComboBox*>("cboPort")->currentText(), QStringLiteral("04"));
        QCOMPARE(again.findChild<QComboBox*>("cboPort")->itemData(6, Qt::ToolTipRole).toString(),
                 seven.path());
        w.Grabo_Click();
        QCOMPARE(QSettings(h.sandbox.file(), QSettings::IniFormat).value("COMM/cboport").toString(),
                 QStringLiteral("04"));
    }

    void aboutBox() {
        for (int opening = 0; opening < 2; ++opening) {
            FrmAcerca about;
            QCOMPARE(about.windowTitle(), QStringLiteral("Acerca de"));
            QCOMPARE(about.size(), QSize(311, 225));
            const QString version = about.findChild<QLabel*>("Label3")->text();
            QVERIFY(version.contains(QStringLiteral("v1.12")) &&
                    version.contains(QStringLiteral("2011")));
            QCOMPARE(about.findChild<QLabel*>("Label1")->text(),
                     QStringLiteral("Vuradid Oruda d Urivoze"));
            QVERIFY(about.findChild<QLabel*>("Label4")->text().startsWith(QStringLiteral("web: ")));
            QCOMPARE(about.findChild<QLabel*>("Picture1")->pixmap().size(), QSize(250, 148));
        }
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
