#include "ui/month_panel.h"

#include "ui/calendar_look.h"
#include "ui/look.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace horvex {

namespace {

QToolButton* arrow(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setMinimumWidth(30);
    nameForScreenReaders(*b, tip);
    return b;
}

} // namespace

MonthPanel::MonthPanel(MonthGrid::Looks looks, std::function<QDate()> today, QWidget* parent)
    : QWidget(parent) {
    auto* nav = new QHBoxLayout;
    QToolButton* backYear = arrow(QStringLiteral("«"), QStringLiteral("Año anterior"), this);
    QToolButton* back = arrow(QStringLiteral("‹"), QStringLiteral("Mes anterior"), this);
    QToolButton* next = arrow(QStringLiteral("›"), QStringLiteral("Mes siguiente"), this);
    QToolButton* nextYear = arrow(QStringLiteral("»"), QStringLiteral("Año siguiente"), this);
    QPushButton* toToday = makeButton(QStringLiteral("hoy"), QStringLiteral("Ir a hoy"), this);
    title_ = new QLabel(this);
    title_->setAlignment(Qt::AlignCenter);
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title_->setFont(bold);
    for (QWidget* w : std::initializer_list<QWidget*>{backYear, back})
        nav->addWidget(w);
    nav->addWidget(title_, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{next, nextYear, toToday})
        nav->addWidget(w);

    grid_ = new MonthGrid(std::move(looks), this);
    grid_->setObjectName(QStringLiteral("grid"));
    nameForScreenReaders(*grid_, QStringLiteral("Días del mes"));
    legend_ = new QLabel(this);
    legend_->setWordWrap(true);

    // The selection stays: a range may start in one month and end in another.
    const auto moveBy = [this](int months) {
        grid_->showMonth(QDate(grid_->year(), grid_->month(), 1).addMonths(months));
    };
    connect(backYear, &QToolButton::clicked, this, [moveBy] { moveBy(-12); });
    connect(back, &QToolButton::clicked, this, [moveBy] { moveBy(-1); });
    connect(next, &QToolButton::clicked, this, [moveBy] { moveBy(1); });
    connect(nextYear, &QToolButton::clicked, this, [moveBy] { moveBy(12); });
    connect(toToday, &QPushButton::clicked, this, [this, today = std::move(today)] {
        grid_->goTo(today());
        grid_->setFocus();
    });
    connect(grid_, &MonthGrid::selectionChanged, this, &MonthPanel::showTitle);
    connect(grid_, &MonthGrid::monthChanged, this, &MonthPanel::showTitle);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(nav);
    layout->addWidget(grid_, 1);
    layout->addWidget(legend_);
}

void MonthPanel::setLegend(const QString& richText) {
    legend_->setText(richText);
}

void MonthPanel::showTitle() {
    const QDate month(grid_->year(), grid_->month(), 1);
    title_->setText(spanish().toString(month, QStringLiteral("MMMM 'de' yyyy")));
}

} // namespace horvex
