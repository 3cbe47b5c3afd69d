#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace horvex {

// What one upload did: the only proof of what the clock holds, since nothing
// is read back from it.
struct UploadOutcome {
    QDateTime at = QDateTime::currentDateTime();
    QString origin;   // "ventana" or "sync"
    int port = 0;     // 0: not known (the store could not be read)
    QString device;   // what that port opens here
    QString reason;   // empty: the whole frame went out
    int sent = 0;     // characters handed to the line
    QByteArray frame; // what was to be sent; empty when it could not be built
};

// The record of uploads, one line each:
//   2025-03-30T03:30:00.818+02:00  sync  COM4  /dev/ttyUSB0  enviado  82  024435...
// fields separated by a tab, the frame in hexadecimal. The file is kept to about kLimit bytes: when
// a line would take it past that, it becomes <file>.1 (replacing the older one) and a new file
// starts.
class UploadRecord {
public:
    // $XDG_STATE_HOME/Horvex/envios.log; throws Failure with no home folder.
    UploadRecord();
    explicit UploadRecord(QString file);

    const QString& file() const { return file_; }

    // Appends one line. Throws Failure saying why it could not.
    void append(const UploadOutcome& outcome) const;

    // The last n lines, oldest first, from the end of the file (and of the
    // older file when this one has fewer). Throws Failure when a file exists
    // but cannot be read.
    QStringList last(int n) const;

    static QString line(const UploadOutcome& outcome);
    static constexpr qint64 kLimit = 1024 * 1024;

private:
    QString file_;
};

} // namespace horvex
