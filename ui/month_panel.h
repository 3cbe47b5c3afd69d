#pragma once

#include "ui/month_grid.h"

#include <QDate>
#include <QWidget>
#include <functional>

class QLabel;

namespace horvex {

// The month: arrows to the months and years around it and a "hoy" button,
// its title, the grid of its days and the legend of their colours.
class MonthPanel : public QWidget {
public:
    // `today`: where "hoy" goes.
    MonthPanel(MonthGrid::Looks looks, std::function<QDate()> today, QWidget* parent);

    MonthGrid& grid() { return *grid_; }
    void setLegend(const QString& richText);

private:
    void showTitle();

    MonthGrid* grid_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* legend_ = nullptr;
};

} // namespace horvex
