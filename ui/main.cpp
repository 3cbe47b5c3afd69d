#include "calendar/calendar.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "clocklink/tiempo.h"
#include "clocklink/upload_record.h"
#include "schedule/failure.h"
#include "schedule/reg_store.h"
#include "schedule/window_lock.h"
#include "ui/calendar_services.h"
#include "ui/frm_calendario.h"
#include "ui/frm_main.h"
#include "ui/look.h"
#include "ui/qt_spanish.h"
#include "ui/to_front.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// One window per settings store. Without a home folder there is no store to
// share; start-up then says why. A lock that cannot be made (a read-only
// folder, a full disk) costs only the saving: uploading needs no disk.
std::unique_ptr<horvex::WindowLock> claimStore(horvex::RegStore& store) {
    QString file;
    try {
        file = store.fileName();
    } catch (const horvex::Failure&) {
        return nullptr;
    }
    auto lock = std::make_unique<horvex::WindowLock>(file);
    try {
        if (lock->acquire())
            return lock;
    } catch (const horvex::Failure& failure) {
        store.refuseSaves(failure.description());
        return nullptr;
    }
    const std::optional<qint64> window = lock->windowPid();
    const bool called = window && horvex::callToFront(*window);
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("Horvex"),
        QStringLiteral("Horvex ya está abierto (%1) con la configuración %2.%3\n\n"
                       "Use esa ventana: dos ventanas grabarían una encima de la "
                       "otra.")
            .arg(lock->holder(), file,
                 called ? QStringLiteral(" Su ventana se ha traído al frente.") : QString()),
        QMessageBox::Ok);
    box.exec();
    std::exit(EXIT_FAILURE);
}

// As every window of ours starts: named for its settings, matched by the
// desktop to its menu entry and icon, in Fusion unless a style was asked for,
// with Qt's own words in Spanish.
void setUpApplication(const QString& desktopFile, const QSet<QString>& given) {
    QApplication::setApplicationName(QStringLiteral("Horvex"));
    QGuiApplication::setDesktopFileName(desktopFile);
    horvex::speakSpanish();
    if (!given.contains(QStringLiteral("style")))
        QApplication::setStyle(QStringLiteral("Fusion"));
}

// A place given on the command line is kept; otherwise a window is centred.
bool placeGiven(const QSet<QString>& given) {
    return given.contains(QStringLiteral("qwindowgeometry")) ||
           given.contains(QStringLiteral("geometry"));
}

// "Calendario de timbres", a window of its own: the calendar file is its
// only store, so it needs no lock on the settings.
int calendarWindow(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const std::variant<QString, int> named = horvex::cli::calendarWindowFile(args);
    if (const int* code = std::get_if<int>(&named))
        return *code;
    QApplication app(argc, argv);
    const QSet<QString> given = horvex::cli::windowOptionNames(args);
    setUpApplication(QStringLiteral("org.horvex.Horvex.Calendario"), given);
    QString file = std::get<QString>(named);
    const horvex::MissingFolder missing =
        file.isEmpty() ? horvex::MissingFolder::Create : horvex::MissingFolder::Refuse;
    try {
        file = file.isEmpty() ? horvex::defaultCalendarFile() : QFileInfo(file).absoluteFilePath();
    } catch (const horvex::Failure& f) {
        QMessageBox::critical(nullptr, QStringLiteral("Calendario de timbres"), f.description());
        return EXIT_FAILURE;
    }
    horvex::FrmCalendario window(file, missing, horvex::calendarServices());
    if (!placeGiven(given))
        horvex::centerOnScreen(window);
    window.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    if (horvex::cli::asksForCalendarWindow(argc, argv))
        return calendarWindow(argc, argv);
    // With a command Horvex is a command-line tool: no window, no display.
    // Qt's own window options alone open the window, as in any Qt program.
    const std::optional<QSet<QString>> given = horvex::cli::windowOptions(argc, argv);
    if (!given)
        return horvex::cli::run(argc, argv);

    QApplication app(argc, argv);
    setUpApplication(QStringLiteral("org.horvex.Horvex"), *given);
    const bool placed = placeGiven(*given);

    // Ready before the lock is taken: a second start may call at once.
    horvex::ToFrontOnSignal toFront;
    horvex::RegStore store;
    std::unique_ptr<horvex::WindowLock> lock = claimStore(store);
    horvex::SleepPause pause;
    horvex::FrmMain frmMain(
        {store, pause, horvex::localTimeOfDay,
         [&lock] {
             // Ends at once, even from inside a paused command; the serial
             // port closes with the process, the store's lock goes first.
             lock.reset();
             std::fflush(nullptr);
             std::_Exit(EXIT_SUCCESS);
         },
         [](const horvex::UploadOutcome& outcome) { horvex::UploadRecord().append(outcome); }});
    toFront.setWindow(&frmMain);
    frmMain.Form_Load();
    // Placed once, its frame included, before it is shown, unless the command
    // line gave a place.
    if (!placed)
        horvex::centerOnScreen(frmMain);
    horvex::showDrawn(frmMain);
    return QApplication::exec();
}
