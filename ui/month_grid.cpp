#include "ui/month_grid.h"

#include "ui/calendar_look.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace horvex {

namespace {

constexpr int kHeaderHeight = 22;
constexpr QSize kMinimumCell(64, 50);
constexpr QSize kPreferredCell(76, 58);

// A day outside the month shows its colour faintly, on the window's own.
QColor faded(const QColor& fill, const QColor& window) {
    constexpr double kShare = 0.3;
    return QColor::fromRgbF(
        static_cast<float>(fill.redF() * kShare + window.redF() * (1 - kShare)),
        static_cast<float>(fill.greenF() * kShare + window.greenF() * (1 - kShare)),
        static_cast<float>(fill.blueF() * kShare + window.blueF() * (1 - kShare)));
}

} // namespace

MonthGrid::MonthGrid(Looks looks, QWidget* parent)
    : QWidget(parent)
    , looks_(std::move(looks)) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize MonthGrid::sizeHint() const {
    return {7 * kPreferredCell.width(), kHeaderHeight + kWeeks * kPreferredCell.height()};
}

QSize MonthGrid::minimumSizeHint() const {
    return {7 * kMinimumCell.width(), kHeaderHeight + kWeeks * kMinimumCell.height()};
}

QDate MonthGrid::firstShown() const {
    return month_.addDays(1 - month_.dayOfWeek());
}

void MonthGrid::goTo(QDate day) {
    select(day, day);
}

void MonthGrid::select(QDate first, QDate last) {
    anchor_ = first;
    moveCursor(last, true);
}

void MonthGrid::showMonth(QDate day) {
    const QDate month(day.year(), day.month(), 1);
    if (!month.isValid() || month == month_)
        return;
    month_ = month;
    refresh();
    emit monthChanged();
}

void MonthGrid::setToday(QDate today) {
    today_ = today;
    update();
}

void MonthGrid::refresh() {
    const QDate first = firstShown();
    for (std::size_t i = 0; i < shown_.size(); ++i)
        shown_[i] = looks_(first.addDays(static_cast<qint64>(i)));
    update();
    announce();
}

void MonthGrid::moveCursor(QDate to, bool extend) {
    if (!to.isValid())
        return;
    cursor_ = to;
    if (!extend)
        anchor_ = to;
    const QDate month(to.year(), to.month(), 1);
    if (month != month_) {
        month_ = month;
        refresh();
        emit monthChanged();
    }
    update();
    announce();
    emit selectionChanged();
}

QString MonthGrid::describe(QDate day) const {
    QString said = longDate(day);
    const DayLook look = looks_(day);
    said += QStringLiteral(": ") + look.name;
    if (day == today_)
        said += QStringLiteral(", hoy");
    if (look.conflict)
        said += QStringLiteral(", conflicto entre reglas");
    if (look.broken)
        said += QStringLiteral(", el archivo de horario tiene errores");
    return said;
}

void MonthGrid::announce() {
    if (!QAccessible::isActive() || !cursor_.isValid())
        return;
    setAccessibleDescription(describe(cursor_));
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

QRectF MonthGrid::cellRect(int index) const {
    const double w = width() / 7.0;
    const double h = (height() - kHeaderHeight) / static_cast<double>(kWeeks);
    return {(index % 7) * w, kHeaderHeight + (index / 7) * h, w, h};
}

QDate MonthGrid::dayAt(QPointF point) const {
    for (int i = 0; i < 7 * kWeeks; ++i)
        if (cellRect(i).contains(point))
            return firstShown().addDays(i);
    return {};
}

void MonthGrid::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(palette().color(QPalette::WindowText));
    for (int d = 1; d <= 7; ++d) {
        const QRectF cell = cellRect(d - 1);
        p.drawText(QRectF(cell.x(), 0, cell.width(), kHeaderHeight), Qt::AlignCenter,
                   spanish().dayName(d, QLocale::ShortFormat).left(2));
    }
    for (int i = 0; i < 7 * kWeeks; ++i)
        paintCell(p, i);
}

void MonthGrid::paintCell(QPainter& p, int index) const {
    const QDate day = firstShown().addDays(index);
    const DayLook& look = shown_[static_cast<std::size_t>(index)];
    const bool inMonth = day.month() == month_.month();
    const bool selected = day >= selectionFirst() && day <= selectionLast();
    const QRectF cell = cellRect(index).adjusted(2, 2, -2, -2);
    const QColor fill = inMonth ? look.fill : faded(look.fill, palette().color(QPalette::Window));
    const QColor ink = textOn(fill);

    p.save(); // the fonts and pens of one cell stay in it
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRect(cell);
    if (look.broken) {
        p.setBrush(QBrush(kAlarmRed, Qt::BDiagPattern));
        p.drawRect(cell);
    }

    // The day's number, on the selection's colour when it is selected.
    QFont font = p.font();
    font.setBold(day == today_);
    p.setFont(font);
    const QRectF band(cell.x(), cell.y(), cell.width(), p.fontMetrics().height() + 4);
    if (selected) {
        p.setBrush(palette().color(QPalette::Highlight));
        p.drawRect(band);
    }
    p.setPen(selected ? palette().color(QPalette::HighlightedText) : ink);
    p.drawText(band.adjusted(5, 0, -5, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QString::number(day.day()));
    font.setBold(false);
    // A schedule's name reads in a cell of the smallest window.
    font.setPointSizeF(font.pointSizeF() * 0.9);
    p.setFont(font);
    if (inMonth) {
        p.setPen(ink);
        const QRectF below = cell.adjusted(4, band.height(), -4, -2);
        p.drawText(below, Qt::AlignLeft | Qt::AlignBottom,
                   p.fontMetrics().elidedText(look.name, Qt::ElideMiddle,
                                              static_cast<int>(below.width())));
    }

    // Marks nobody should miss: a red badge with "!" or "?".
    if (look.conflict || look.broken) {
        const double r = band.height() / 2 - 1;
        const QPointF centre(cell.right() - r - 3, cell.top() + r + 2);
        p.setPen(Qt::NoPen);
        p.setBrush(kAlarmRed);
        p.drawEllipse(centre, r, r);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), Qt::AlignCenter,
                   look.conflict ? QStringLiteral("!") : QStringLiteral("?"));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kAlarmRed, 2, Qt::DashLine));
        p.drawRect(cell.adjusted(1, 1, -1, -1));
    }
    p.setBrush(Qt::NoBrush);
    if (selected) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(cell.adjusted(1, 1, -1, -1));
    }
    if (day == today_) {
        p.setPen(QPen(palette().color(QPalette::WindowText), 3));
        p.drawRect(cell.adjusted(-1, -1, 1, 1));
    }
    if (hasFocus() && day == cursor_) {
        p.setPen(QPen(ink, 1, Qt::DotLine));
        p.drawRect(cell.adjusted(4, band.height() + 2, -4, -3));
    }
    p.restore();
}

void MonthGrid::keyPressEvent(QKeyEvent* event) {
    const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
    switch (event->key()) {
    case Qt::Key_Left:
        return moveCursor(cursor_.addDays(-1), extend);
    case Qt::Key_Right:
        return moveCursor(cursor_.addDays(1), extend);
    case Qt::Key_Up:
        return moveCursor(cursor_.addDays(-7), extend);
    case Qt::Key_Down:
        return moveCursor(cursor_.addDays(7), extend);
    case Qt::Key_PageUp:
        return moveCursor(cursor_.addMonths(-1), extend);
    case Qt::Key_PageDown:
        return moveCursor(cursor_.addMonths(1), extend);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit assignRequested();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void MonthGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    moveCursor(dayAt(event->position()), event->modifiers().testFlag(Qt::ShiftModifier));
}

void MonthGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!event->buttons().testFlag(Qt::LeftButton))
        return;
    // A drag stays in the month it started in.
    const QDate day = dayAt(event->position());
    if (day.isValid() && day != cursor_ && day.month() == month_.month())
        moveCursor(day, true);
}

} // namespace horvex
