// How long the calendar window takes to open on a school year whose holiday
// calendar holds 2,000 all-day events: from creating it until it is drawn,
// with its problems listed and its top line said. Prints the figures; the
// target is under half a second. With --grab it also saves a picture of the
// window, with --dark on a dark palette, to check how it reads.
// Usage: horvex-bench-calendar-window [runs] [--grab FILE.png] [--dark]
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.
#include "tools/bench_school_year.h"
#include "ui/calendar_services.h"
#include "ui/frm_calendario.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace horvex;

namespace {

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    p.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ToolTipText, QColor(0xe8, 0xe8, 0xe8));
    return p;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    // Nothing of the user's is read: the store and the record are the run's own.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", dir.filePath(QStringLiteral("state")).toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Horvex"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QStringList args = QApplication::arguments().mid(1);
    const int runs = !args.isEmpty() && args[0].toInt() > 0 ? args[0].toInt() : 5;
    const qsizetype grabAt = args.indexOf(QStringLiteral("--grab"));
    if (args.contains(QStringLiteral("--dark")))
        QApplication::setPalette(darkPalette());
    if (!bench::writeSchoolYear(QDir(dir.path()))) {
        std::fprintf(stderr, "no se pudieron escribir los archivos en %s\n",
                     qPrintable(dir.path()));
        return 1;
    }
    const QString file = dir.filePath(QStringLiteral("calendario.ini"));
    FrmCalendario::Services services = calendarServices();
    services.now = [] { return QDateTime(QDate(bench::kYear, 3, 15), QTime(10, 0)); };

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        FrmCalendario window(file, MissingFolder::Refuse, services);
        window.show();
        const QPixmap drawn = window.grab();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (i == 0 && grabAt >= 0 && grabAt + 1 < args.size())
            drawn.save(args[grabAt + 1]);
    }
    std::printf("%d events in festivos.ics, %d runs\n", bench::kEvents, runs);
    // The first opening also loads the fonts and the style, as a real start does.
    std::printf("calendar window, created to drawn, first: %.1f ms (target < 500 ms)\n", ms[0]);
    std::sort(ms.begin(), ms.end());
    std::printf("calendar window, created to drawn: median %.1f ms, worst %.1f ms\n",
                ms[ms.size() / 2], ms.back());
    return 0;
}
