// Schedules edited in the calendar window: each bell's problem beside it,
// a schedule made, typed, undone, renamed, saved and read back by the real
// program, and "guardado" saved into the store as the main window would.

#include "schedule/window_lock.h"
#include "tests/fakes.h"
#include "ui/calendar_services.h"
#include "ui/frm_calendario.h"
#include "ui/month_grid.h"
#include "ui/schedule_editor.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>

using namespace horvex;
using horvex::testing::part;
using horvex::testing::readFile;
using horvex::testing::writeFile;

namespace {

// What the real program prints for a schedule file, with no display.
QString shown(const QString& file) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(HORVEX), {QStringLiteral("--show"), file});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

void setTime(QTableWidget& bells, int row, const QString& time) {
    bells.item(row, 0)->setText(time);
}

void chooseRing(QComboBox& list, const QString& text) {
    list.setCurrentIndex(list.findText(text));
    emit list.activated(list.currentIndex());
}

} // namespace

class TestScheduleEditor : public QObject {
    Q_OBJECT
private slots:
    void problemBesideTheBell_data();
    void problemBesideTheBell();
    void newScheduleEditedAndShown();
    void storedScheduleSaved();
};

void TestScheduleEditor::problemBesideTheBell_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("problem");
    QTest::newRow("good") << "09:00"
                          << "";
    QTest::newRow("as people write it") << "9h30"
                                        << "";
    QTest::newRow("hour") << "25:00"
                          << "la hora 25 no existe";
    QTest::newRow("minute") << "09:61"
                            << "el minuto 61 no existe";
    QTest::newRow("twice") << "08:00"
                           << "08:00 repetido";
    QTest::newRow("words") << "nueve"
                           << "«nueve» no es una hora";
}

void TestScheduleEditor::problemBesideTheBell() {
    QFETCH(QString, typed);
    QFETCH(QString, problem);
    ScheduleEditor editor(QStringLiteral("examenes.ini"), true,
                          ScheduleDraft::fromText("[Timbres]\ncorto=02\nlargo=05\n08:00\n"),
                          nullptr);
    editor.addBell();
    auto* bells = part<QTableWidget>(editor, "scheduleBells");
    setTime(*bells, 1, typed);
    QCOMPARE(bells->item(0, 2)->text(), QString());
    if (problem.isEmpty())
        QCOMPARE(bells->item(1, 2)->text(), QString());
    else
        QVERIFY2(bells->item(1, 2)->text().contains(problem),
                 qPrintable(bells->item(1, 2)->text()));
    QCOMPARE(editor.draft().problems().any(), !problem.isEmpty());
}

void TestScheduleEditor::newScheduleEditedAndShown() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    writeFile(file, "[Semana]\nlunes=guardado\n");
    writeFile(dir.filePath(QStringLiteral("viernes.ini")), "[Timbres]\ncorto=02\nlargo=05\n");
    QString refused;
    FrmCalendario::Services services;
    services.now = [] { return QDateTime(QDate(2027, 3, 1), QTime(10, 0)); };
    services.ask = [](QWidget*, const QString&, const QString&) { return true; };
    services.askNewSchedule = [&](QWidget*, const QStringList&, const auto& check) {
        try {
            check(QStringLiteral("Viernes"));
        } catch (const Failure& f) {
            refused = f.description();
        }
        return NewSchedule{check(QStringLiteral("exámenes")), QString()};
    };
    FrmCalendario window(file, MissingFolder::Refuse, services);
    part<QPushButton>(window, "newSchedule")->click();
    QVERIFY2(refused.startsWith(QStringLiteral("ya hay un viernes.ini")), qPrintable(refused));
    const QString name = QStringLiteral("exámenes.ini");
    for (const char* list : {"value", "week_1", "icsValue"})
        QVERIFY2(part<QComboBox>(window, list)->findData(name) >= 0, list);

    ScheduleEditor* editor = window.scheduleEditor();
    QVERIFY(editor != nullptr);
    auto* bells = part<QTableWidget>(*editor, "scheduleBells");
    QCOMPARE(bells->rowCount(), 0);
    QVERIFY(QTest::qWaitForWindowActive(editor));
    part<QPushButton>(*editor, "addBell")->click();
    QCOMPARE(bells->item(0, 0)->text(), QStringLiteral("08:00"));
    setTime(*bells, 0, QStringLiteral("11:00"));
    chooseRing(*qobject_cast<QComboBox*>(bells->cellWidget(0, 1)), QStringLiteral("largo"));
    chooseRing(*part<QComboBox>(*editor, "shortRing"), QStringLiteral("03"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(qobject_cast<QComboBox*>(bells->cellWidget(0, 1))->currentText(),
             QStringLiteral("corto"));
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(qobject_cast<QComboBox*>(bells->cellWidget(0, 1))->currentText(),
             QStringLiteral("largo"));
    QVERIFY(editor->unsaved());
    part<QPushButton>(*editor, "saveSchedule")->click();
    QVERIFY2(!editor->unsaved(), qPrintable(part<QLabel>(*editor, "editorStatus")->text()));

    const QString path = dir.filePath(name);
    const QByteArray text = readFile(path);
    QVERIFY(!text.contains("a mano") && !text.contains("--import"));
    const QString said = shown(path);
    QVERIFY2(said.contains(QStringLiteral("Timbres: corto 03, largo 05\n11:00  largo  (H00)\n")),
             qPrintable(said));

    // Given to a day, then renamed: the calendar follows the new name.
    MonthGrid* grid = part<MonthGrid>(window, "grid");
    grid->goTo(QDate(2027, 3, 10));
    auto* value = part<QComboBox>(window, "value");
    value->setCurrentIndex(value->findData(name));
    window.assign();
    part<QLineEdit>(*editor, "scheduleName")->setText(QStringLiteral("finales"));
    part<QPushButton>(*editor, "saveSchedule")->click();
    QCOMPARE(editor->name(), QStringLiteral("finales.ini"));
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(readFile(dir.filePath(QStringLiteral("finales.ini"))), text);
    QCOMPARE(readFile(file), QByteArray("[Semana]\nlunes=guardado\n\n[Fechas]\n"
                                        "2027-03-10=finales.ini\n"));
    editor->close();

    // Opened again, the window offers it.
    FrmCalendario again(file, MissingFolder::Refuse, services);
    QVERIFY(part<QComboBox>(again, "week_5")->findData(QStringLiteral("finales.ini")) >= 0);
}

// Saved as Grabar Datos saves: only the schedule's values, and not while a
// main window holds the store.
void TestScheduleEditor::storedScheduleSaved() {
    testing::Sandbox sandbox;
    const QByteArray store = "[COMM]\ncboport=9\n[HH]\ncboHH0=07\n[MM]\ncboMM0=45\n[ALA]\n"
                             "chkAla0=1\n; nota\n[Otra]\nx=1\n";
    sandbox.write(store);
    const QString calendar = QDir(sandbox.folder()).filePath(QStringLiteral("calendario.ini"));
    writeFile(calendar, "[Semana]\nlunes=guardado\n");
    FrmCalendario::Services services = calendarServices();
    services.now = [] { return QDateTime(QDate(2027, 3, 1), QTime(6, 0)); };
    FrmCalendario window(calendar, MissingFolder::Create, services);
    window.editSchedule(QStringLiteral("guardado"));
    ScheduleEditor* editor = window.scheduleEditor();
    QVERIFY(editor != nullptr);
    auto* bells = part<QTableWidget>(*editor, "scheduleBells");
    QCOMPARE(bells->item(0, 0)->text(), QStringLiteral("07:45"));
    setTime(*bells, 0, QStringLiteral("07:50"));

    auto mainWindow = std::make_optional<WindowLock>(sandbox.file());
    QVERIFY(mainWindow->acquire());
    part<QPushButton>(*editor, "saveSchedule")->click();
    QLabel* said = part<QLabel>(*editor, "editorStatus");
    QVERIFY2(said->text().contains(QStringLiteral("ventana principal de Horvex está abierta")),
             qPrintable(said->text()));
    QCOMPARE(sandbox.read(), store);

    mainWindow.reset();
    part<QPushButton>(*editor, "saveSchedule")->click();
    QVERIFY2(!editor->unsaved(), qPrintable(said->text()));
    const QByteArray saved = sandbox.read();
    for (const char* kept : {"cboport=9\n", "cboMM0=50\n", "cboHH0=07\n", "; nota\n[Otra]\nx=1\n"})
        QVERIFY2(saved.contains(kept), kept);
    // The main window saved meanwhile: the editor and the month follow.
    sandbox.write(QByteArray(saved).replace("cboMM0=50", "cboMM0=55"));
    QTRY_COMPARE(bells->item(0, 0)->text(), QStringLiteral("07:55"));
    QVERIFY2(part<QLabel>(window, "top")
                 ->text()
                 .startsWith(QStringLiteral("Próximo timbre: hoy a las 07:55, largo (guardado).")),
             qPrintable(part<QLabel>(window, "top")->text()));
}

QTEST_MAIN(TestScheduleEditor)
#include "test_schedule_editor.moc"
