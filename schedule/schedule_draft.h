#pragma once

#include "schedule/reg_store.h"
#include "schedule/schedule_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace horvex {

// A bell as a window edits it: the time as typed, its ring, and the slot
// it is pinned to ("H05="), if any.
struct DraftBell {
    QString time;
    bool isLong = false;
    std::optional<int> slot;

    bool operator==(const DraftBell&) const = default;
};

// A schedule as the calendar window edits it, kept in the form a person
// writes (readable_schedule.h): its problems are those the file would have,
// found by reading its own text back, so the editor and the file never
// disagree. Pins are kept; new bells take the free slots.
class ScheduleDraft {
public:
    // A schedule file's text, in either form. The older form is taken with
    // every slot that holds anything pinned.
    static ScheduleDraft fromText(const QByteArray& bytes);
    // The stored schedule, every slot that holds anything pinned.
    static ScheduleDraft fromTexts(const ScheduleTexts& texts);
    // No bell; rings of a fresh store.
    static ScheduleDraft empty();

    std::vector<DraftBell> bells;
    QString shortRing;
    QString longRing;

    // The readable form: a header, the ring lengths, a bell a line, then the
    // lines of the file that are neither (which keep their problems).
    QByteArray text() const;
    // What the text gives: the 110 values and every problem.
    ParsedSchedule parsed() const;

    // The problems by where they are shown: beside a bell, beside a ring
    // length, or of the schedule as a whole.
    struct Problems {
        std::vector<QString> ofBell; // one per bell, empty when it has none
        QString ofShortRing;
        QString ofLongRing;
        QStringList other;
        bool any() const;
    };
    Problems problems() const;

    bool operator==(const ScheduleDraft&) const = default;

private:
    QStringList header_; // the file's own leading comments
    QStringList others_; // lines that are neither rings nor bells
};

// Writes the text over a schedule file under its lock, if the file still
// holds `loaded` (an absent file counts as empty); otherwise throws
// ChangedOnDisk and writes nothing. Throws Failure when it cannot. Returns
// the text written.
QByteArray saveOverLoaded(const QString& file, const QByteArray& loaded, const QByteArray& text,
                          MissingFolder missing = MissingFolder::Refuse);

// Puts the schedule in the settings store as Grabar Datos would, under the
// main window's lock: refused while a Horvex window holds it (its next save
// would undo this one). Only the 110 values of the schedule change; each
// line whose value reads the same stays byte for byte.
void saveStoredSchedule(const QString& storeFile, const ScheduleTexts& texts);

} // namespace horvex
