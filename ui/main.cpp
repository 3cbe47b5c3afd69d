#include "clocklink/tiempo.h"
#include "schedule/reg_store.h"
#include "ui/frm_main.h"
#include "ui/look.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Horvex"));
    // Lets the desktop match the running window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.horvex.Horvex"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    horvex::RegStore store;
    horvex::SleepPause pause;
    horvex::FrmMain frmMain({store, pause, horvex::localTimeOfDay, [] {
                                 // Ends at once, even from inside a paused command;
                                 // the serial port closes with the process.
                                 std::fflush(nullptr);
                                 std::_Exit(EXIT_SUCCESS);
                             }});
    frmMain.Form_Load();
    horvex::centerOnScreen(frmMain);
    horvex::showDrawn(frmMain);
    // Framed by the window manager only now: centre the frame itself.
    horvex::centerOnScreen(frmMain);
    return QApplication::exec();
}
