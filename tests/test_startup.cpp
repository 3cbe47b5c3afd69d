#include "fakes.h"
#include "ui/frm_ini.h"
#include "ui/frm_opciones.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QScopeGuard>
#include <QScreen>

using namespace horvex;
using namespace horvex::testing;

namespace {

const QString kPortError = QStringLiteral("Error de Puerto Serie ...");

bool noticeVisible() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<FrmIni*>(w) != nullptr && w->isVisible())
            return true;
    return false;
}

QComboBox* portList(FrmOpciones& dialog) {
    return dialog.findChild<QComboBox*>("cboPort");
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void emptyStoreStartsWithDefaults() {
        Harness h;
        FrmMain& w = h.start();
        QCOMPARE(h.pause.pauses, QList<double>{0.5});
        QVERIFY(w.port().PortOpen());
        QCOMPARE(w.panelText(1), "Conecte el Reloj a la PC y confirme el puerto COMM ...");
        QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));
        QVERIFY(!noticeVisible());
        QCOMPARE(h.sandbox.keys(), QStringList{"Puertos/COM4"}); // nothing written
        // The pictures are compiled in (the About box's is checked there).
        QVERIFY(!w.windowIcon().pixmap(16).isNull());
        for (const char* button : {"Opciones", "Grabo", "Acerca", "salir"})
            QVERIFY2(!h.child<QAbstractButton>(button)->icon().pixmap(24).isNull(), button);
        auto* largo = h.child<QComboBox>("cmbLargo");
        QCOMPARE(h.child<QComboBox>("cmbCorto")->currentText(), QStringLiteral("02"));
        QCOMPARE(std::pair(largo->currentText(), largo->count()), std::pair(QString("05"), 15));
        for (int i = 0; i < kSlots; ++i) {
            auto* hour = h.child<QComboBox>(QStringLiteral("cboHH_%1").arg(i));
            auto* minute = h.child<QComboBox>(QStringLiteral("cboMM_%1").arg(i));
            QCOMPARE(std::pair(hour->count(), minute->count()), std::pair(25, 61));
            QCOMPARE(hour->currentText() + minute->currentText(), QStringLiteral("2400"));
            QVERIFY(!h.child<QCheckBox>(QStringLiteral("chkAla_%1").arg(i))->isChecked());
        }
    }

    // Each failure stops start-up with one box; a good port can still be chosen.
    // The row's name is what the box must mention.
    void failuresStopTheSequence_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("horvex-none") << "Puertos/COM4=/dev/horvex-none";
        QTest::newRow("abc") << "COMM/cboport=abc";
        QTest::newRow("chkAla7") << "ALA/chkAla7=abc";
        QTest::newRow("[Puertos] COM4=dev/ttyHX: una ruta relativa") << "Puertos/COM4=dev/ttyHX";
        QTest::newRow("la ruta del dispositivo es demasiado larga")
            << "Puertos/COM4=/dev/" + QString(100000, 'x');
    }
    void failuresStopTheSequence() {
        QFETCH(QString, stored);
        const QString reason = QString::fromLatin1(QTest::currentDataTag());
        Harness h;
        h.sandbox.put(stored.section('=', 0, 0), stored.section('=', 1));
        BoxCloser closer;
        FrmMain& w = h.start();

        QCOMPARE(closer.texts.size(), 1);
        QVERIFY2(closer.texts[0].contains(reason), qPrintable(closer.texts[0]));
        QVERIFY(closer.texts[0].size() < 1000); // a 100 KB path is cut in the middle
        QCOMPARE(w.panelText(1), kPortError);
        QCOMPARE(w.panelText(2), QString());
        QCOMPARE(h.child<QComboBox>("cboHH_0")->count(), 0);
        QVERIFY(!w.port().PortOpen());
        QVERIFY(noticeVisible());
        // Nothing loaded to send: said at once, without the upload's pauses.
        w.Actualizar_Click();
        QCOMPARE(closer.texts.size(), 2);
        QVERIFY2(closer.texts[1].contains("no se cargó ningún horario"),
                 qPrintable(closer.texts[1]));
        QCOMPARE(h.pause.pauses, QList<double>{0.5});

        Pty good;
        h.sandbox.put(QStringLiteral("Puertos/COM3"), good.path());
        FrmOpciones dialog(QStringLiteral("3"), w.port(), w, w);
        dialog.cmdOK_Click();
        QCOMPARE(w.panelText(2), QStringLiteral("COM3: 2400,N,8,1"));
        QVERIFY(w.port().PortOpen());
    }

    // A first start with the clock on the one USB adapter and no port mapped:
    // COM4 opens the adapter for this run, and panel 1 says how to keep it.
    void loneAdapterStandsInForCom4() {
        Harness h(false);
        QTemporaryDir byId;
        const QString stable = byId.filePath("usb-FTDI_FT232R_A12345-if00-port0");
        QVERIFY(QFile::link(h.line.path(), stable));
        qputenv("HORVEX_SERIAL_BY_ID", byId.path().toLocal8Bit());
        const auto unset = qScopeGuard([] { qunsetenv("HORVEX_SERIAL_BY_ID"); });
        BoxCloser closer;
        FrmMain& w = h.start();
        QVERIFY(w.port().PortOpen());
        QCOMPARE(w.panelText(1),
                 "COM4 abre " + h.line.path() +
                     ", el único adaptador USB. Conecte el Reloj a la PC y confirme el puerto "
                     "COMM ... Y para que lo abra siempre: horvex --map-port 4=" +
                     stable);
        QCOMPARE(w.panelText(2), QStringLiteral("COM4: 2400,N,8,1"));
        QVERIFY(h.sandbox.keys().isEmpty()); // kept for this run only
    }

    // A stored text the list does not offer leaves it unselected; the upload
    // then refuses to send rather than send a broken frame.
    void foreignStoredValueIsShownEmpty() {
        Harness h;
        h.sandbox.put(QStringLiteral("HH/cboHH3"), QStringLiteral("7"));
        h.sandbox.put(QStringLiteral("HH/cboHH4"), QString(5000, QLatin1Char('7')));
        h.sandbox.put(QStringLiteral("ALA/chkAla5"), QStringLiteral("2"));
        h.sandbox.put(QStringLiteral("ALA/chkAla6"), QStringLiteral("1"));
        BoxCloser closer;
        FrmMain& w = h.start();
        QCOMPARE(h.child<QComboBox>("cboHH_3")->currentIndex(), -1);
        QCOMPARE(h.child<QComboBox>("cboHH_4")->currentIndex(), -1);
        QCOMPARE(w.module().AlaHora[3], QStringLiteral("7"));
        // Only 1 ticks a box; other values show it clear and stay stored.
        QVERIFY(!h.child<QCheckBox>("chkAla_5")->isChecked());
        QVERIFY(h.child<QCheckBox>("chkAla_6")->isChecked());
        QCOMPARE(w.module().AlaChk[5], 2);

        w.Actualizar_Click();
        QCOMPARE(closer.texts.size(), 1);
        QCOMPARE(h.line.drain(), QByteArray());
        QCOMPARE(w.panelText(1), kPortError);
    }

    // Through the window's button, by keyboard: Enter presses a focused
    // button; elsewhere in the dialog Enter and Escape do nothing. Panel 2
    // then names the port whole.
    void optionsDialog_data() {
        QTest::addColumn<int>("number");
        QTest::newRow("COM10") << 10;
        QTest::newRow("COM255") << 255;
    }
    void optionsDialog() {
        QFETCH(int, number);
        Harness h;
        FrmMain& w = h.start();
        BoxCloser closer;
        Pty other;
        h.sandbox.put(QStringLiteral("Puertos/COM%1").arg(number), other.path());
        h.sandbox.put(QStringLiteral("Puertos/COM7"), other.path());
        QTemporaryDir byId; // COM7 reaches a USB adapter
        QVERIFY(QFile::link(other.path(), byId.filePath("usb-FTDI_FT232R_A12345-if00-port0")));
        qputenv("HORVEX_SERIAL_BY_ID", byId.path().toLocal8Bit());
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<FrmOpciones*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const auto closed = qScopeGuard([dialog] { dialog->close(); }); // even on failure
            QCOMPARE(portList(*dialog)->currentText(), QStringLiteral("04"));
            QCOMPARE(portList(*dialog)->itemData(6, Qt::ToolTipRole).toString(),
                     other.path() + " (adaptador usb-FTDI_FT232R_A12345-if00-port0)");
            auto* ok = dialog->findChild<QWidget*>("cmdOK");
            for (const QString& text : {QStringLiteral("abc"), QString::number(number)}) {
                portList(*dialog)->setEditText(text);
                QTest::keyClick(portList(*dialog), Qt::Key_Escape);
                QTest::keyClick(portList(*dialog), Qt::Key_Return);
                QVERIFY(dialog->isVisible());
                QTest::keyClick(ok, Qt::Key_Return);
            }
        });
        QTest::keyClick(h.child<QWidget>("Opciones"), Qt::Key_Return);

        QCOMPARE(closer.texts.size(), 1); // for "abc"; the dialog stayed for another try
        QVERIFY(w.port().PortOpen());
        auto* panel = h.child<QLabel>("Panel2");
        QCOMPARE(panel->text(), QStringLiteral("COM%1: 2400,N,8,1").arg(number));
        QVERIFY(QFontMetrics(panel->font()).horizontalAdvance(panel->text()) <=
                panel->contentsRect().width() - panel->indent());
        // The stored port is untouched: saved as it was.
        w.Grabo_Click();
        QCOMPARE(h.sandbox.get("COMM/cboport").toString(), QStringLiteral("04"));
        qunsetenv("HORVEX_SERIAL_BY_ID");
    }

    // Modal, owned by no window, centred on the screen; Escape leaves it open.
    void aboutBox() {
        Harness h;
        FrmMain& w = h.start();
        w.show(); // its frame is the one the box will get
        bool owned = true;
        QPoint off(99, 99);
        QTimer::singleShot(0, &w, [&] {
            QWidget* about = QApplication::activeModalWidget();
            QVERIFY(about);
            const auto closed = qScopeGuard([about] { about->close(); });
            owned = about->parentWidget() != nullptr;
            QCOMPARE(about->findChild<QLabel*>("Picture1")->pixmap().size(), QSize(250, 148));
            off = about->frameGeometry().center() - about->screen()->availableGeometry().center();
            QTest::keyClick(about, Qt::Key_Escape);
            QVERIFY(about->isVisible());
            QTest::keyClick(about->focusWidget(), Qt::Key_Return); // "OK"
        });
        w.Acerca_Click();
        QVERIFY(!owned);
        QVERIFY2(off.manhattanLength() <= 1,
                 qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
