#pragma once

#include "clocklink/upload_record.h"

#include <QDateTime>
#include <QSet>
#include <QStringList>

namespace horvex {

// The uploads other programs made while the main window is open (the timer,
// the calendar window, horvex --sync): the clock beeped and someone at the
// PC may wonder why. Each is told once; those already in the record when the
// window opened, and the window's own, are not news.
class UploadNews {
public:
    // Notes what the record holds now.
    UploadNews();

    // What went out whole since the last call, oldest first:
    // "Enviado por el calendario a las 14:15: 8 timbres". One look at the
    // file's size and time when nothing changed; a record that cannot be
    // read gives nothing.
    QStringList news();

    // How one upload is told.
    static QString text(const UploadOutcome& outcome);

private:
    // Whether the record changed since the last look.
    bool changed();
    QList<RecordedUpload> lastUploads() const;

    QString file_;
    qint64 size_ = -1;
    QDateTime modified_;
    QSet<QString> seen_;
};

} // namespace horvex
