#pragma once

#include "schedule/guarded_file.h"

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

namespace horvex {

// A second start calls the open window to the front by sending its process
// SIGUSR1. The signal handler only writes a byte to a pipe; the window is
// raised from the event loop, where that byte is read.
class ToFrontOnSignal : public QObject {
public:
    // From now on SIGUSR1 raises the window given below; until then it is
    // kept for later, never fatal.
    ToFrontOnSignal();
    ~ToFrontOnSignal() override;
    ToFrontOnSignal(const ToFrontOnSignal&) = delete;
    ToFrontOnSignal& operator=(const ToFrontOnSignal&) = delete;

    void setWindow(QWidget* window);

private:
    void bring();

    UniqueFd readEnd_;
    UniqueFd writeEnd_;
    QSocketNotifier* notifier_ = nullptr;
    QPointer<QWidget> window_;
};

// Calls the window of process `pid` to the front; false when that process is
// gone or is not this program.
bool callToFront(qint64 pid);

} // namespace horvex
