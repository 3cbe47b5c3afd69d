#pragma once

#include "schedule/guarded_file.h"

#include <QString>
#include <optional>

namespace horvex {

// One Horvex window per settings store: two would each save all their values
// and undo each other's changes. The window holds this lock for its whole
// life, and --import while it writes the store. The lock is the system's
// (HeldLock): whatever a dead holder left in the file, a lock nobody holds is
// free.
class WindowLock {
public:
    enum class Holder { Window, Import };

    // The lock beside the store file `storeFile`.
    explicit WindowLock(const QString& storeFile, Holder holder = Holder::Window);

    // Takes the lock; false when a live process holds it. Throws Failure
    // with the reason when the lock cannot be made (a read-only folder, a
    // full disk, a file where a folder should be).
    bool acquire();

    // Who holds it, for the message: "proceso 1234".
    QString holder() const;
    // The holding window's process, when it is a window on this host, so
    // that a second start can call it to the front.
    std::optional<qint64> windowPid() const;

private:
    struct Line {
        qint64 pid = 0;
        QString host;
        bool window = false;
    };
    std::optional<Line> readLine() const;

    QString path_;
    Holder role_;
    std::optional<HeldLock> held_;
};

} // namespace horvex
