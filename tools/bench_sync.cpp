// How far the clock's time of day is from the PC's after an upload: for
// `horvex --sync` and for the window's "Actualizar Reloj", each against the
// virtual clock on a pseudo-terminal, in a throw-away store. Prints figures
// only; it judges nothing. Usage: horvex-bench-sync [uploads] (default 10).
#include "clocklink/tiempo.h"
#include "listener.h"
#include "schedule/reg_store.h"
#include "ui/frm_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <vector>

using namespace horvex;

namespace {

void report(const char* what, std::vector<double> offsets) {
    if (offsets.empty()) {
        std::printf("%-8s no good frame received\n", what);
        return;
    }
    std::sort(offsets.begin(), offsets.end());
    const double worst =
        std::abs(offsets.front()) > std::abs(offsets.back()) ? offsets.front() : offsets.back();
    std::printf("%-8s %zu uploads: time-of-day error median %.1f ms, worst %.1f ms\n", what,
                offsets.size(), offsets[offsets.size() / 2], worst);
}

std::optional<double> offsetOf(const std::optional<reloj::Chunk>& chunk) {
    if (!chunk)
        return std::nullopt;
    return reloj::decode(*chunk).clockOffsetMs;
}

} // namespace

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_STATE_HOME", home.filePath(QStringLiteral("state")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Horvex"));

    QString error;
    const std::unique_ptr<reloj::Listener> clock = reloj::Listener::openPty(&error);
    if (!clock) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QDir().mkpath(home.filePath(QStringLiteral("config/Horvex")));
    QFile store(home.filePath(QStringLiteral("config/Horvex/Horvex.conf")));
    if (!store.open(QIODevice::WriteOnly))
        return 1;
    store.write("[Puertos]\nCOM4=" + clock->path().toLocal8Bit() + "\n");
    store.close();

    std::vector<double> sync;
    for (int i = 0; i < runs; ++i) {
        QProcess horvex;
        horvex.start(QStringLiteral(HORVEX), {QStringLiteral("--sync")});
        if (const auto offset = offsetOf(clock->next(5000)))
            sync.push_back(*offset);
        horvex.waitForFinished();
    }
    report("--sync", sync);

    RegStore settings;
    SleepPause pause;
    FrmMain window({settings, pause, localTimeOfDay, [] {}});
    window.Form_Load();
    std::vector<double> shown;
    for (int i = 0; i < runs; ++i) {
        auto received = std::async(std::launch::async, [&] { return clock->next(15000); });
        window.Actualizar_Click();
        if (const auto offset = offsetOf(received.get()))
            shown.push_back(*offset);
    }
    report("window", shown);
    return 0;
}
