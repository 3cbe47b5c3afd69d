#include "ui/to_front.h"

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace horvex {

namespace {

int gWriteEnd = -1;

void onSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a call: nothing is lost.
    [[maybe_unused]] const ssize_t n = ::write(gWriteEnd, &byte, 1);
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, nullptr);
}

QString programOf(const QString& process) {
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(process)).symLinkTarget();
}

} // namespace

ToFrontOnSignal::ToFrontOnSignal() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd_ = UniqueFd(ends[0]);
    writeEnd_ = UniqueFd(ends[1]);
    gWriteEnd = writeEnd_.get();
    notifier_ = new QSocketNotifier(readEnd_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ToFrontOnSignal::bring);
    setHandler(onSignal);
}

ToFrontOnSignal::~ToFrontOnSignal() {
    if (!writeEnd_.valid())
        return;
    setHandler(SIG_IGN);
    gWriteEnd = -1;
}

void ToFrontOnSignal::setWindow(QWidget* window) {
    window_ = window;
}

void ToFrontOnSignal::bring() {
    char bytes[64];
    while (::read(readEnd_.get(), bytes, sizeof bytes) > 0) {
    }
    // Not yet shown (still starting up): it comes to the front when shown.
    if (window_ == nullptr || !window_->isVisible())
        return;
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->raise();
    window_->activateWindow();
    // An open dialog stays in front of its window.
    if (QWidget* dialog = QApplication::activeModalWidget()) {
        dialog->raise();
        dialog->activateWindow();
    }
}

bool callToFront(qint64 pid) {
    // The number was read from a file: only a process running this very
    // program gets the signal, never whatever took the number since.
    const QString own = programOf(QStringLiteral("self"));
    return !own.isEmpty() && programOf(QString::number(pid)) == own &&
           ::kill(static_cast<pid_t>(pid), SIGUSR1) == 0;
}

} // namespace horvex
