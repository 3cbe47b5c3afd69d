#include "ui/problems_panel.h"

#include "calendar/calendar_edit.h"
#include "ui/calendar_look.h"
#include "ui/look.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace horvex {

ProblemsPanel::ProblemsPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Problemas"), parent) {
    banner_ = new QLabel(this);
    banner_->setWordWrap(true);
    QPalette red = banner_->palette();
    red.setColor(QPalette::WindowText, QColor(0xff, 0xff, 0xff));
    red.setColor(QPalette::Window, kAlarmRed);
    banner_->setPalette(red);
    banner_->setAutoFillBackground(true);
    banner_->setMargin(4);
    QFont bold = banner_->font();
    bold.setBold(true);
    banner_->setFont(bold);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("problems"));
    nameForScreenReaders(*list_, QStringLiteral("Problemas del calendario"));
    list_->setMaximumHeight(84);
    list_->setWordWrap(true);
    connect(list_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { choose(list_->row(item)); });
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { choose(list_->row(item)); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(banner_);
    layout->addWidget(list_);
}

void ProblemsPanel::setProblems(std::vector<ListedProblem> problems, const QString& calendarFile) {
    problems_ = std::move(problems);
    list_->clear();
    for (const ListedProblem& p : problems_) {
        // Files beside the calendar by their names alone: the list is narrow.
        CalendarProblem shown = p.problem;
        if (!QFileInfo(nameInCalendar(calendarFile, shown.file)).isAbsolute())
            shown.file = nameInCalendar(calendarFile, shown.file);
        auto* item =
            new QListWidgetItem(style()->standardIcon(p.error ? QStyle::SP_MessageBoxCritical
                                                              : QStyle::SP_MessageBoxWarning),
                                shown.toString(), list_);
        item->setToolTip(p.problem.toString());
    }
    if (problems_.empty())
        list_->addItem(QStringLiteral("Ningún problema."));
    showBanner();
}

void ProblemsPanel::showBanner() {
    const auto errors = std::count_if(problems_.begin(), problems_.end(),
                                      [](const ListedProblem& p) { return p.stopsTimer(); });
    const auto conflicts =
        std::count_if(problems_.begin(), problems_.end(),
                      [](const ListedProblem& p) { return p.error && p.problem.isConflict(); });
    banner_->setVisible(errors + conflicts > 0);
    if (errors > 0)
        banner_->setText(
            QStringLiteral("El calendario tiene %1 %2: mientras no se corrija%3, el temporizador "
                           "no enviará nada y el reloj seguirá con lo que tiene. Se puede guardar "
                           "igual.")
                .arg(errors)
                .arg(errors == 1 ? QStringLiteral("error") : QStringLiteral("errores"),
                     errors == 1 ? QString() : QStringLiteral("n")));
    else
        banner_->setText(
            QStringLiteral("El calendario tiene %1 %2: esos días el temporizador envía lo que "
                           "dice la regla escrita después. Corríjalo para que no haya dudas.")
                .arg(conflicts)
                .arg(conflicts == 1 ? QStringLiteral("conflicto") : QStringLiteral("conflictos")));
}

bool ProblemsPanel::hasErrors() const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [](const ListedProblem& p) { return p.stopsTimer(); });
}

void ProblemsPanel::choose(int row) {
    if (row >= 0 && row < static_cast<int>(problems_.size()))
        emit chosen(problems_[static_cast<std::size_t>(row)].problem);
}

} // namespace horvex
