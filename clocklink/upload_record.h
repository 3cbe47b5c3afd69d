#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace horvex {

// What one upload did: the only proof of what the clock holds, since nothing
// is read back from it.
struct UploadOutcome {
    QDateTime at = QDateTime::currentDateTime();
    QString origin;       // "ventana" or "sync"
    int port = 0;         // 0: not known (the store could not be read)
    QString device;       // what that port opens here
    QString reason;       // empty: the whole frame went out
    int sent = 0;         // characters handed to the line; -1: not known
    QByteArray frame;     // what was to be sent; empty when it could not be built
    QString id;           // the same on an upload's opening and closing lines
    bool opening = false; // written just before the first character
    QString rules;        // what chose the schedule sent, when something did
};

// The rules' words for an upload whose time came from a PC clock not
// synchronised, and for one that sent a schedule file as it is.
inline const QString kUnsyncedRule = QStringLiteral("hora del PC sin sincronizar");
inline const QString kScheduleFileRule = QStringLiteral("--schedule");

// Whether the calendar chose what `o` sent (the calendar window, or a timed
// run with a calendar), not a schedule file or the stored schedule as it is.
bool chosenByCalendar(const UploadOutcome& o);

// One upload as the record tells it: its latest line.
struct RecordedUpload {
    enum class State {
        Sent,        // the whole frame went out
        Cut,         // part of it went out
        NotSent,     // nothing went out
        Sending,     // its program is sending it now
        Interrupted, // its program ended during the frame, without closing it
        Unreadable,  // a line that is not one of ours
    };
    State state = State::Unreadable;
    UploadOutcome outcome;
    QString text; // Unreadable: what the line holds, shortened and printable
};

// The record of uploads, one line each, fields separated by a tab:
//   2025-03-30T03:30:00.818+02:00  sync  COM4  /dev/ttyUSB0  enviado  82  0244...  4711-9f3a0c21
// the frame in hexadecimal, then the upload's id and, when given, the rules.
// An upload that reaches the line writes a line saying "enviando" (characters
// "-") just before its first character, and its closing line after the last;
// an opening line left alone is an upload whose program died during the
// frame. Every line goes out in one write(2) in append mode, so the lines of
// two programs never mix, and a line that does not fit whole is taken back.
// The file is kept to about kLimit bytes: when a line would take it past
// that, it becomes <file>.1 (replacing the older one) and a new file starts.
// The last 100 uploads sent whole are never lost that way: should other
// lines have filled the file, they come over from the older one.
class UploadRecord {
public:
    // $XDG_STATE_HOME/Horvex/envios.log; throws Failure with no home folder.
    UploadRecord();
    explicit UploadRecord(QString file);

    const QString& file() const { return file_; }

    // Appends one line. Throws Failure saying why it could not; a line kept
    // although the file could not be moved aside says so too.
    void append(const UploadOutcome& outcome) const;

    // The last n uploads, oldest first, read backwards from the end of the
    // file (and of the older file when this one has fewer): the time taken
    // does not grow with the size of the file. Throws Failure when a file
    // exists but cannot be read.
    QList<RecordedUpload> recent(int n) const;

    static QString newId();
    static QString line(const UploadOutcome& outcome);
    static std::optional<UploadOutcome> parse(const QByteArray& line);
    static constexpr qint64 kLimit = 1024 * 1024;
    // The longest line written, in bytes with its newline: long texts are cut.
    static constexpr qsizetype kLineLimit = 4096;

private:
    QString file_;
};

} // namespace horvex
