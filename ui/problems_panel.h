#pragma once

#include "calendar/calendar_draft.h"

#include <QGroupBox>
#include <vector>

class QLabel;
class QListWidget;

namespace horvex {

// "Problemas": every problem, and over them, when there are errors or
// conflicts, a red banner saying what they mean for the timer. Choosing a
// problem asks for its place.
class ProblemsPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ProblemsPanel(QWidget* parent);

    // Lists `problems`, naming the files beside `calendarFile` by their
    // names alone.
    void setProblems(std::vector<ListedProblem> problems, const QString& calendarFile);
    bool hasErrors() const;

signals:
    void chosen(const CalendarProblem& problem);

private:
    void choose(int row);
    void showBanner();

    QLabel* banner_ = nullptr;
    QListWidget* list_ = nullptr;
    std::vector<ListedProblem> problems_;
};

} // namespace horvex
