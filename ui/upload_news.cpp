#include "ui/upload_news.h"

#include "calendar/rolling_day.h"
#include "clocklink/frame.h"
#include "schedule/counted.h"
#include "schedule/failure.h"

#include <QFileInfo>

namespace horvex {

namespace {

// Far more uploads than can go out between two ticks of a second.
constexpr int kLooked = 16;

bool finished(RecordedUpload::State state) {
    return state != RecordedUpload::State::Sending;
}

} // namespace

UploadNews::UploadNews() {
    try {
        file_ = UploadRecord().file();
    } catch (const Failure&) {
        return; // no home folder: no record, no news
    }
    changed();
    for (const RecordedUpload& u : lastUploads())
        if (finished(u.state))
            seen_.insert(u.outcome.id);
}

QStringList UploadNews::news() {
    if (!changed())
        return {};
    QStringList told;
    for (const RecordedUpload& u : lastUploads()) {
        if (!finished(u.state) || seen_.contains(u.outcome.id))
            continue;
        seen_.insert(u.outcome.id);
        if (u.state == RecordedUpload::State::Sent && u.outcome.origin != QLatin1String("ventana"))
            told << text(u.outcome);
    }
    return told;
}

QString UploadNews::text(const UploadOutcome& outcome) {
    QString said = QStringLiteral("Enviado por %1 a las %2")
                       .arg(chosenByCalendar(outcome) ? QStringLiteral("el calendario")
                                                      : QStringLiteral("horvex --sync"),
                            clockText(outcome.at.time()));
    try {
        if (const std::optional<ClockSchedule> held = scheduleOfFrame(outcome.frame)) {
            const auto bells = bellsOf(*held).size();
            said +=
                QStringLiteral(": ") + counted(static_cast<qsizetype>(bells),
                                               QStringLiteral("timbre"), QStringLiteral("timbres"));
        }
    } catch (const Failure&) {
        // A frame the lists could not show: the time alone.
    }
    return said;
}

bool UploadNews::changed() {
    if (file_.isEmpty())
        return false;
    const QFileInfo info(file_);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.lastModified();
    if (size == size_ && modified == modified_)
        return false;
    size_ = size;
    modified_ = modified;
    return true;
}

QList<RecordedUpload> UploadNews::lastUploads() const {
    try {
        return UploadRecord(file_).recent(kLooked);
    } catch (const Failure&) {
        return {};
    }
}

} // namespace horvex
