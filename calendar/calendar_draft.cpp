#include "calendar/calendar_draft.h"

#include "calendar/calendar_edit.h"
#include "schedule/failure.h"
#include "schedule/module1.h"

namespace horvex {

CalendarDraft::CalendarDraft(QString file, MissingFolder missing)
    : file_(std::move(file))
    , missing_(missing) {}

void CalendarDraft::reload(const std::function<ScheduleTexts()>& stored) {
    unreadable_.clear();
    try {
        loaded_ = readStoreFile(file_);
    } catch (const Failure& f) {
        loaded_.clear();
        unreadable_ = f.description();
    }
    doc_ = IniDocument::parse(loaded_);
    unsaved_ = false;
    readStored(stored);
    recalculate();
}

void CalendarDraft::readStored(const std::function<ScheduleTexts()>& stored) {
    stored_ = unsetSchedule();
    storeProblem_.clear();
    try {
        if (stored)
            stored_ = clockSchedule(stored());
    } catch (const Failure& f) {
        storeProblem_ = f.description();
    }
}

void CalendarDraft::edit(const std::function<void(IniDocument&)>& change) {
    change(doc_);
    unsaved_ = true;
    recalculate();
}

void CalendarDraft::restore(const IniDocument& doc) {
    doc_ = doc;
    unsaved_ = doc_.serialize() != loaded_;
    recalculate();
}

void CalendarDraft::rereadStored(const std::function<ScheduleTexts()>& stored) {
    readStored(stored);
    recalculate();
}

void CalendarDraft::recalculate() {
    calendar_ = Calendar::parse(file_, doc_.serialize(), stored_);
}

void CalendarDraft::save() {
    loaded_ = saveCalendarText(file_, loaded_, doc_, missing_);
    unsaved_ = false;
    doc_ = IniDocument::parse(loaded_);
}

std::vector<ListedProblem> CalendarDraft::problems(QDate today) const {
    std::vector<ListedProblem> problems;
    if (!unreadable_.isEmpty())
        problems.push_back({{file_, 0, unreadable_, false, {}}, true});
    if (!storeProblem_.isEmpty())
        problems.push_back({{file_,
                             0,
                             QStringLiteral("«guardado» se muestra sin timbres: ") + storeProblem_,
                             true,
                             {}},
                            false});
    for (const CalendarProblem& p : calendar_.check(today))
        problems.push_back({p, !p.warning});
    return problems;
}

} // namespace horvex
