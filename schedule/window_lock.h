#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

namespace horvex {

// One Horvex window per settings store: two would each save all their values
// and undo each other's changes. The window holds this lock for its whole
// life; a process that dies leaves a stale lock that the next start takes over.
class WindowLock {
public:
    // The lock beside the store file `storeFile`.
    explicit WindowLock(const QString& storeFile);

    // Takes the lock; false when another window holds it.
    bool acquire();
    // Who holds it, for the message: "proceso 1234".
    QString holder() const;

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

} // namespace horvex
