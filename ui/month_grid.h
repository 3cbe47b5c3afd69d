#pragma once

#include <QColor>
#include <QDate>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

namespace horvex {

// How one day is drawn.
struct DayLook {
    QColor fill;  // the colour of its schedule
    QString name; // the schedule, as short as the cell needs
    bool conflict = false;
    bool broken = false; // its schedule file has errors
};

// A month as a grid of six weeks, Monday first. Arrows move the day,
// Shift+arrows and Shift+click or a drag extend the selection, Page Up and
// Page Down change the month, Enter asks for the selection to be assigned.
class MonthGrid : public QWidget {
    Q_OBJECT
public:
    using Looks = std::function<DayLook(QDate)>;

    explicit MonthGrid(Looks looks, QWidget* parent = nullptr);

    // Shows `day`'s month with `day` selected alone.
    void goTo(QDate day);
    void select(QDate first, QDate last);
    // Shows the month of `day`, the selection kept: a click there with Shift
    // extends it across months.
    void showMonth(QDate day);
    void setToday(QDate today);
    // Asks the looks again, after the calendar changed.
    void refresh();

    int year() const { return month_.year(); }
    int month() const { return month_.month(); }
    QDate current() const { return cursor_; }
    QDate selectionFirst() const { return std::min(anchor_, cursor_); }
    QDate selectionLast() const { return std::max(anchor_, cursor_); }
    // Where `day` is drawn, when its month is shown.
    QRect dayRect(QDate day) const {
        return cellRect(static_cast<int>(firstShown().daysTo(day))).toRect();
    }
    // What a screen reader says of a day.
    QString describe(QDate day) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void selectionChanged();
    void monthChanged();
    void assignRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    static constexpr int kWeeks = 6;
    QDate firstShown() const;
    QRectF cellRect(int index) const;
    QDate dayAt(QPointF point) const;
    void moveCursor(QDate to, bool extend);
    void paintCell(QPainter& p, int index) const;
    void announce();

    Looks looks_;
    QDate month_; // its first day
    QDate today_;
    QDate cursor_;
    QDate anchor_;
    std::array<DayLook, 7 * kWeeks> shown_{};
};

} // namespace horvex
