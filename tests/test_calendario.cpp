// The calendar window driven as a person would: keys on the month, the
// lists, the buttons; the file dialogs and questions answered by the test.

#include "clocklink/upload_record.h"
#include "decoder.h"
#include "tests/calendar_texts.h"
#include "tests/fakes.h"
#include "ui/calendar_services.h"
#include "ui/frm_calendario.h"
#include "ui/month_grid.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QToolButton>

using namespace horvex;
using horvex::testing::ics;
using horvex::testing::oneDay;
using horvex::testing::part;
using horvex::testing::readFile;
using horvex::testing::writeFile;

namespace {

const QByteArray kCalendar =
    "; Colegio\n[Semana]\nlunes=guardado\nsabado=silencio ; fin de semana\n"
    "\n[Fechas]\n2027-07-01..2027-08-31=silencio\n"
    "2027-04-05..2027-04-06=silencio\n2027-04-06..2027-04-07=viernes.ini\n"
    "raro=1\n\n[Notas]\nquien=secretaria\n";

} // namespace

class TestCalendario : public QObject {
    Q_OBJECT
private slots:
    void editsSavesAndReloads();
    void sendNowIsTheSyncUpload();
    void rangeAcrossMonthsAndUndo();
    void printsThePlan();
};

void TestCalendario::editsSavesAndReloads() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    writeFile(file, kCalendar);
    writeFile(dir.filePath(QStringLiteral("viernes.ini")),
              "[Timbres]\ncorto=02\nlargo=05\n08:00\n13:00 largo\n");
    writeFile(dir.filePath(QStringLiteral("examenes.ics")), ics(oneDay("Examen", "20270510")));
    QStringList questions;
    bool reloadAnswer = false;
    int sent = 0;
    FrmCalendario::Services services;
    services.stored = [] {
        return parseSchedule("[Timbres]\ncorto=03\nlargo=06\n09:15 largo\n", false).texts;
    };
    services.clockHolds = [](const QString&) {
        return QStringLiteral("El reloj tiene lo de ayer.");
    };
    services.nextRun = [](const QString&) { return QStringLiteral("Temporizador apagado."); };
    services.sendNow = [&](const QString&, StatusLine&) { ++sent; };
    services.now = [] { return QDateTime(QDate(2027, 3, 1), QTime(10, 0)); };
    services.chooseIcs = [&](QWidget*, const QString&) {
        return dir.filePath(QStringLiteral("examenes.ics"));
    };
    services.askNewSchedule = [&](QWidget*, const QStringList&, const auto& check) {
        return NewSchedule{check(QStringLiteral("nuevo")), QStringLiteral("guardado")};
    };
    services.ask = [&](QWidget*, const QString&, const QString& text) {
        questions << text;
        return reloadAnswer;
    };
    auto window = std::make_unique<FrmCalendario>(file, MissingFolder::Refuse, services);
    window->show();
    MonthGrid* grid = part<MonthGrid>(*window, "grid");
    QListWidget* problems = part<QListWidget>(*window, "problems");
    QLabel* status = part<QLabel>(*window, "status");
    QCOMPARE(window->windowTitle(), QStringLiteral("Calendario de timbres"));
    // Monday at 10:00, after the stored schedule's only bell.
    QVERIFY2(part<QLabel>(*window, "top")
                 ->text()
                 .startsWith(QStringLiteral(
                     "Próximo timbre: mañana a las 09:15, largo (guardado). El reloj")),
             qPrintable(part<QLabel>(*window, "top")->text()));

    // The conflict is marked on its day, and its problem leads there.
    QVERIFY(grid->describe(QDate(2027, 4, 6)).contains(QLatin1String("conflicto")));
    QVERIFY(!grid->describe(QDate(2027, 4, 5)).contains(QLatin1String("conflicto")));
    const QList<QListWidgetItem*> conflict =
        problems->findItems(QStringLiteral("conflicto"), Qt::MatchContains);
    QCOMPARE(conflict.size(), 1);
    problems->setCurrentItem(conflict[0]);
    QTest::keyClick(problems, Qt::Key_Return);
    QCOMPARE(grid->current(), QDate(2027, 4, 6));

    // A range from the keyboard, then one day out of the summer.
    QComboBox* value = part<QComboBox>(*window, "value");
    grid->goTo(QDate(2027, 3, 8));
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    value->setCurrentIndex(value->findData(QStringLiteral("viernes.ini")));
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(grid->describe(QDate(2027, 3, 10)).contains(QLatin1String(": viernes")));
    grid->goTo(QDate(2027, 7, 15));
    value->setCurrentIndex(value->findText(QStringLiteral("quitar")));
    QTest::keyClick(grid, Qt::Key_Enter);
    QVERIFY(grid->describe(QDate(2027, 7, 15)).contains(QLatin1String(": guardado")));

    // Fridays from the week's table; the exams' .ics through the dialog.
    QTest::keyClick(part<QComboBox>(*window, "week_5"), Qt::Key_Down);
    QComboBox* icsValue = part<QComboBox>(*window, "icsValue");
    icsValue->setCurrentIndex(icsValue->findData(QStringLiteral("viernes.ini")));
    QTest::mouseClick(part<QPushButton>(*window, "addIcs"), Qt::LeftButton);
    QVERIFY(grid->describe(QDate(2027, 5, 10)).contains(QLatin1String(": viernes")));
    QVERIFY(window->unsaved());

    // Errors refuse an upload but not a save, which says what they mean.
    QTest::mouseClick(part<QPushButton>(*window, "save"), Qt::LeftButton);
    QVERIFY2(status->text().contains(QStringLiteral("no enviará nada")),
             qPrintable(status->text()));
    QTest::mouseClick(part<QPushButton>(*window, "send"), Qt::LeftButton);
    QCOMPARE(sent, 0);
    const QByteArray saved =
        "; Colegio\n[Semana]\nlunes=guardado\nsabado=silencio ; fin de "
        "semana\nviernes=viernes.ini\n"
        "\n[Fechas]\n2027-04-05..2027-04-06=silencio\n2027-04-06..2027-04-07=viernes.ini\nraro=1\n"
        "2027-03-08..2027-03-10=viernes.ini\n2027-07-01..2027-07-14=silencio\n"
        "2027-07-16..2027-08-31=silencio\n\n[Notas]\nquien=secretaria\n\n[Calendarios]\n"
        "examenes.ics=viernes.ini\n";
    QCOMPARE(readFile(file), saved);

    // Opened again, the window shows what this one showed.
    FrmCalendario again(file, MissingFolder::Refuse, services);
    MonthGrid* reread = part<MonthGrid>(again, "grid");
    for (const QDate d :
         {QDate(2027, 3, 9), QDate(2027, 7, 15), QDate(2027, 5, 10), QDate(2027, 4, 6)}) {
        grid->goTo(d);
        reread->goTo(d);
        QCOMPARE(reread->describe(d), grid->describe(d));
    }

    // Another hand changed the file: nothing is written over it until the
    // window has read it again.
    grid->goTo(QDate(2027, 3, 22));
    value->setCurrentIndex(value->findData(QStringLiteral("silencio")));
    QTest::keyClick(grid, Qt::Key_Return);
    QVERIFY(grid->describe(QDate(2027, 3, 22)).contains(QLatin1String(": silencio")));
    const QByteArray theirs = saved + "; revisado\n";
    writeFile(file, theirs);
    QTest::mouseClick(part<QPushButton>(*window, "save"), Qt::LeftButton);
    // Asked at the save (the watcher, on a slow machine, may have asked first).
    QVERIFY(!questions.isEmpty() && questions.last().contains(QStringLiteral("cambió")));
    const qsizetype asked = questions.size();
    QCOMPARE(readFile(file), theirs);
    reloadAnswer = true;
    window->save();
    QCOMPARE(questions.size(), asked + 1);
    QVERIFY(!window->unsaved());
    QVERIFY(grid->describe(QDate(2027, 3, 22)).contains(QLatin1String(": guardado")));

    // A new schedule file starts from the stored schedule, opened to edit.
    window->newSchedule();
    QVERIFY(readFile(dir.filePath(QStringLiteral("nuevo.ini"))).contains("H00=09:15 largo"));
    QCOMPARE(value->currentData().toString(), QStringLiteral("nuevo.ini"));
    QVERIFY(window->scheduleEditor() != nullptr);
    QCOMPARE(window->scheduleEditor()->name(), QStringLiteral("nuevo.ini"));
}

// A range begun in one month and ended in the next, assigned with Enter,
// undone and redone from the keyboard.
void TestCalendario::rangeAcrossMonthsAndUndo() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    writeFile(file, "[Semana]\nlunes=guardado\n");
    FrmCalendario::Services services;
    services.now = [] { return QDateTime(QDate(2027, 1, 4), QTime(10, 0)); };
    FrmCalendario window(file, MissingFolder::Refuse, services);
    window.resize(1024, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    MonthGrid* grid = part<MonthGrid>(window, "grid");
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->dayRect(QDate(2027, 1, 7)).center());
    QToolButton* next = nullptr;
    for (QToolButton* b : window.findChildren<QToolButton*>())
        if (b->toolTip() == QStringLiteral("Mes siguiente"))
            next = b;
    QVERIFY(next != nullptr);
    next->click();
    QCOMPARE(grid->month(), 2);
    QTest::mouseClick(grid, Qt::LeftButton, Qt::ShiftModifier,
                      grid->dayRect(QDate(2027, 2, 23)).center());
    QCOMPARE(std::pair(grid->selectionFirst(), grid->selectionLast()),
             std::pair(QDate(2027, 1, 7), QDate(2027, 2, 23)));

    // Enter in the Horario list assigns.
    QComboBox* value = part<QComboBox>(window, "value");
    value->setCurrentIndex(value->findData(QStringLiteral("silencio")));
    value->setFocus();
    QTest::keyClick(value, Qt::Key_Return);
    QLabel* status = part<QLabel>(window, "status");
    QCOMPARE(status->text(), QStringLiteral("Asignado silencio a los días del 7 de enero al 23 de "
                                            "febrero de 2027 (sin guardar)."));
    const auto silent = [&](QDate d) {
        return grid->describe(d).contains(QLatin1String(": silencio"));
    };
    QVERIFY(silent(QDate(2027, 1, 7)) && silent(QDate(2027, 2, 23)) && !silent(QDate(2027, 2, 24)));

    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!silent(QDate(2027, 1, 7)));
    QVERIFY(!window.unsaved());
    QVERIFY2(status->text().startsWith(QStringLiteral("Deshecho: asignar silencio")),
             qPrintable(status->text()));
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(silent(QDate(2027, 2, 1)));
    QVERIFY(window.unsaved());
    // Closing asks first; Cancelar keeps the window and the edit.
    QString asked;
    QTimer::singleShot(0, &window, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                asked = box->text();
                box->button(QMessageBox::Cancel)->click();
            }
    });
    QVERIFY(!window.close());
    QCOMPARE(asked, QStringLiteral("Hay cambios sin guardar en %1.").arg(file));
    QVERIFY(window.isVisible() && window.unsaved());
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.save();
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(status->text(), QStringLiteral("No hay nada que deshacer."));
    QCOMPARE(readFile(file), QByteArray("[Semana]\nlunes=guardado\n\n[Fechas]\n"
                                        "2027-01-07..2027-02-23=silencio\n"));
}

// With the program's own services, "Enviar ahora" is --sync's upload: the
// calendar's day on the line, recorded as sent from the calendar.
void TestCalendario::sendNowIsTheSyncUpload() {
    testing::Sandbox sandbox;
    testing::Pty line;
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    sandbox.write("[Puertos]\nCOM4=" + line.path().toLocal8Bit() +
                  "\n[HH]\ncboHH0=07\n[MM]\ncboMM0=45\n[ALA]\nchkAla0=1\n");
    const QString calendar = QDir(sandbox.folder()).filePath(QStringLiteral("calendario.ini"));
    writeFile(calendar, "[Semana]\nlunes=guardado\n");
    FrmCalendario window(calendar, MissingFolder::Create, calendarServices());
    part<QPushButton>(window, "send")->click();

    const reloj::Decoded got = reloj::decode(line.drain());
    QVERIFY2(got.ok(), qPrintable(got.problems.value(0).text()));
    const reloj::Slot first = got.frame->alarms[0];
    QCOMPARE(std::tuple(first.hour, first.minute, first.longRing), std::tuple(7, 45, true));
    QVERIFY2(part<QLabel>(window, "status")->text().startsWith(QStringLiteral("Enviado a COM4")),
             qPrintable(part<QLabel>(window, "status")->text()));
    const QList<RecordedUpload> recorded = UploadRecord().recent(1);
    QCOMPARE(recorded.size(), 1);
    QCOMPARE(recorded[0].outcome.origin, QStringLiteral("calendario"));
    QVERIFY(recorded[0].state == RecordedUpload::State::Sent);
}

// "Imprimir…" offers the school year of the month shown and prints the
// months chosen as --plan --pdf draws them, unsaved edits included.
void TestCalendario::printsThePlan() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    writeFile(file, kCalendar);
    writeFile(dir.filePath(QStringLiteral("viernes.ini")),
              "[Timbres]\ncorto=02\nlargo=05\n8h\n13.00 largo\n");
    std::optional<MonthSpan> proposed;
    const QString pdf = dir.filePath(QStringLiteral("plan.pdf"));
    FrmCalendario::Services services;
    services.now = [] { return QDateTime(QDate(2027, 3, 1), QTime(10, 0)); };
    services.chooseMonths = [&](QWidget*, const MonthSpan& offered) {
        proposed = offered;
        return std::optional(MonthSpan{QDate(2027, 3, 1), 2});
    };
    services.choosePrinter = [&](QWidget*, QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    FrmCalendario window(file, MissingFolder::Refuse, services);
    MonthGrid* grid = part<MonthGrid>(window, "grid");
    grid->goTo(QDate(2027, 3, 15));
    part<QComboBox>(window, "value")
        ->setCurrentIndex(part<QComboBox>(window, "value")->findData(QStringLiteral("silencio")));
    QTest::keyClick(grid, Qt::Key_Return);
    part<QPushButton>(window, "print")->click();

    QVERIFY(proposed);
    QCOMPARE(std::pair(proposed->first, proposed->count), std::pair(QDate(2026, 9, 1), 10));
    QCOMPARE(part<QLabel>(window, "status")->text(),
             "Guardado el plan de marzo 2027 a abril 2027 en " + pdf +
                 " (una hoja, con los cambios sin guardar).");
    const QString text = testing::popplerSays(QStringLiteral("pdftotext"), pdf);
    for (const QString& said :
         {QStringLiteral("Calendario de timbres: marzo 2027 a abril 2027"), "Calendario: " + file,
          QStringLiteral("viernes.ini"), QStringLiteral("conflicto")})
        QVERIFY2(text.contains(said), qPrintable(said + " / " + text));
}

QTEST_MAIN(TestCalendario)
#include "test_calendario.moc"
