// The calendar window and the files around it: changed on disk by others,
// fetched from an address, copied in from the downloads.

#include "tests/calendar_texts.h"
#include "tests/fakes.h"
#include "ui/frm_calendario.h"
#include "ui/month_grid.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

using namespace horvex;
using horvex::testing::ics;
using horvex::testing::oneDay;
using horvex::testing::part;
using horvex::testing::readFile;
using horvex::testing::writeFile;

class TestCalendarioFiles : public QObject {
    Q_OBJECT
private slots:
    void filesChangedOnDisk();
    void fetchesAddressesWithoutWaiting();
    void icsCopiedBeside();
};

// A file changed on disk is read again at once; with unsaved edits the
// window asks first. Editors save by writing a new file over the name.
void TestCalendarioFiles::filesChangedOnDisk() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    const QString viernes = dir.filePath(QStringLiteral("viernes.ini"));
    writeFile(file, "[Semana]\nviernes=viernes.ini\n");
    writeFile(viernes, "[Timbres]\ncorto=02\nlargo=05\n08:00\n");
    QStringList asked;
    FrmCalendario::Services services;
    services.now = [] { return QDateTime(QDate(2027, 3, 1), QTime(10, 0)); };
    services.ask = [&](QWidget*, const QString&, const QString& text) {
        asked << text;
        return false;
    };
    FrmCalendario window(file, MissingFolder::Refuse, services);
    MonthGrid* grid = part<MonthGrid>(window, "grid");
    const QDate friday(2027, 3, 5);
    const auto replace = [](const QString& path, const QByteArray& bytes) {
        writeFile(path + QStringLiteral(".new"), bytes);
        QVERIFY(QFile::rename(path + QStringLiteral(".new"), path) ||
                (QFile::remove(path) && QFile::rename(path + QStringLiteral(".new"), path)));
    };
    const auto shows = [&](const char* text) {
        return grid->describe(friday).contains(QLatin1String(text));
    };

    replace(viernes, "[Timbres]\ncorto=02\nlargo=05\n08:00\n08:00\n");
    QTRY_VERIFY(shows("tiene errores"));
    replace(viernes, "[Timbres]\ncorto=02\nlargo=05\n08:00\n");
    QTRY_VERIFY(!shows("tiene errores"));
    writeFile(file, "[Semana]\nviernes=silencio\n");
    QTRY_VERIFY(shows(": silencio"));

    grid->goTo(QDate(2027, 3, 8));
    part<QComboBox>(window, "value")->setCurrentIndex(0);
    window.assign();
    replace(file, "[Semana]\nviernes=viernes.ini\n");
    QTRY_COMPARE(asked.size(), 1);
    QVERIFY(asked[0].contains(QStringLiteral("cambió en el disco")));
    QVERIFY(shows(": silencio"));
    QVERIFY(window.unsaved());
}

// An address is fetched at opening and with "Actualizar", the window going
// on meanwhile; what failed is in the problems.
void TestCalendarioFiles::fetchesAddressesWithoutWaiting() {
    QTemporaryDir dir;
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toLocal8Bit());
    qputenv("no_proxy", "*");
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    writeFile(file, "[Calendarios]\nhttps://127.0.0.1:1/curso.ics=silencio\n");
    FrmCalendario::Services services;
    services.stored = [] { return parseSchedule("[Timbres]\n09:15\n", false).texts; };
    services.clockHolds = [](const QString&) { return QString(); };
    services.nextRun = [](const QString&) { return QString(); };
    FrmCalendario window(file, MissingFolder::Refuse, services);
    QLabel* status = part<QLabel>(window, "status");
    QListWidget* problems = part<QListWidget>(window, "problems");
    const auto failed = [&] {
        return problems->findItems(QStringLiteral("rechazó la conexión"), Qt::MatchContains).size();
    };
    QCOMPARE(status->text(), QStringLiteral("Descargando los calendarios .ics por dirección…"));
    QCOMPARE(failed(), 0);
    QTRY_COMPARE(failed(), 1);
    QVERIFY(status->text().startsWith(QStringLiteral("No se pudo descargar ningún")));
    QTest::mouseClick(part<QPushButton>(window, "refreshIcs"), Qt::LeftButton);
    QCOMPARE(status->text(), QStringLiteral("Descargando los calendarios .ics por dirección…"));
    QTRY_VERIFY(status->text().startsWith(QStringLiteral("No se pudo descargar ningún")));
    QCOMPARE(failed(), 1);
}

// An .ics chosen in the downloads is copied beside the calendar, its name
// kept; a different file of that name is replaced only when the user says so.
void TestCalendarioFiles::icsCopiedBeside() {
    QTemporaryDir dir;
    QTemporaryDir downloads;
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    const QString name = QStringLiteral("Festivos Año 2027.ics");
    const QString chosen = downloads.filePath(name);
    writeFile(chosen, ics(oneDay("Fiesta", "20270301")));
    bool replace = false;
    QString openedIn;
    FrmCalendario::Services services;
    services.now = [] { return QDateTime(QDate(2027, 3, 1), QTime(10, 0)); };
    services.downloads = [&] { return downloads.path(); };
    services.chooseIcs = [&](QWidget*, const QString& folder) {
        openedIn = folder;
        return chosen;
    };
    services.ask = [&](QWidget*, const QString&, const QString&) { return replace; };
    FrmCalendario window(file, MissingFolder::Refuse, services);
    part<QPushButton>(window, "addIcs")->click();
    QCOMPARE(openedIn, downloads.path());
    QCOMPARE(readFile(dir.filePath(name)), ics(oneDay("Fiesta", "20270301")));
    window.save();
    QCOMPARE(readFile(file), "[Calendarios]\n" + name.toUtf8() + "=silencio\n");
    QVERIFY(QFile::remove(chosen));
    QVERIFY(part<MonthGrid>(window, "grid")->describe(QDate(2027, 3, 1)).contains(": silencio"));

    writeFile(chosen, ics(oneDay("Otra", "20270302")));
    part<QPushButton>(window, "addIcs")->click();
    QCOMPARE(readFile(dir.filePath(name)), ics(oneDay("Fiesta", "20270301")));
    replace = true;
    part<QPushButton>(window, "addIcs")->click();
    QCOMPARE(readFile(dir.filePath(name)), ics(oneDay("Otra", "20270302")));
}

QTEST_MAIN(TestCalendarioFiles)
#include "test_calendario_files.moc"
