#include "cli/plan_sheet.h"

#include "calendar/day_colours.h"
#include "schedule/failure.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <array>
#include <cmath>

namespace horvex {

namespace {

const std::array<QString, 7> kWeekdays{
    QStringLiteral("lu"), QStringLiteral("ma"), QStringLiteral("mi"), QStringLiteral("ju"),
    QStringLiteral("vi"), QStringLiteral("sá"), QStringLiteral("do")};
constexpr int kWeeks = 6;

QColor rgb(quint32 value) {
    return QColor(QRgb(value));
}

QFont fontOf(double pixels, bool bold = false) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    font.setBold(bold);
    return font;
}

// "7 de diciembre de 2026".
QString dateText(QDate d) {
    return QStringLiteral("%1 de %2 de %3").arg(d.day()).arg(monthName(d.month())).arg(d.year());
}

// What every page shares.
struct Sheet {
    const Calendar& calendar;
    const PlanMarks& marks;
    const DayColours& colours;
    double mm; // device pixels in a millimetre
};

// The columns that give the largest day cells for `count` months in `area`.
int bestColumns(int count, QSizeF area, double gap) {
    int best = 1;
    double bestCell = 0;
    for (int columns = 1; columns <= count; ++columns) {
        const int rows = (count + columns - 1) / columns;
        const double width = (area.width() - gap * (columns - 1)) / columns / 7;
        const double height = (area.height() - gap * (rows - 1)) / rows / (kWeeks + 2);
        // A day cell reads best a little wider than tall.
        const double cell = std::min(width, height * 1.4);
        if (cell > bestCell) {
            bestCell = cell;
            best = columns;
        }
    }
    return best;
}

void paintDay(QPainter& p, const Sheet& s, const DayChoice& day, QRectF cell) {
    const QChar mark = s.marks.of(day);
    const bool alarm = !day.overruled.isEmpty() || !day.schedule;
    const QRectF fill = cell.adjusted(0.2 * s.mm, 0.2 * s.mm, -0.2 * s.mm, -0.2 * s.mm);
    p.fillRect(fill, rgb(s.colours.of(day.value)));
    if (alarm) {
        p.setPen(QPen(rgb(kAlarmRgb), 0.5 * s.mm));
        p.drawRect(fill.adjusted(0.25 * s.mm, 0.25 * s.mm, -0.25 * s.mm, -0.25 * s.mm));
    }
    const QRectF inner = fill.adjusted(0.8 * s.mm, 0.3 * s.mm, -0.8 * s.mm, -0.3 * s.mm);
    p.setPen(Qt::black);
    p.setFont(fontOf(cell.height() * 0.42));
    p.drawText(inner, Qt::AlignLeft | Qt::AlignTop, QString::number(day.date.day()));
    p.setPen(alarm ? rgb(kAlarmRgb) : QColor(0x33, 0x33, 0x33));
    p.setFont(fontOf(cell.height() * 0.34, alarm));
    p.drawText(inner, Qt::AlignRight | Qt::AlignBottom, QString(mark));
}

void paintMonth(QPainter& p, const Sheet& s, QDate first, QRectF box) {
    const double row = box.height() / (kWeeks + 2);
    const double column = box.width() / 7;
    p.setPen(Qt::black);
    p.setFont(fontOf(row * 0.55, true));
    p.drawText(QRectF(box.x(), box.y(), box.width(), row), Qt::AlignCenter,
               MonthSpan{first, 1}.title());
    p.setFont(fontOf(row * 0.4));
    p.setPen(QColor(0x55, 0x55, 0x55));
    for (int d = 0; d < 7; ++d)
        p.drawText(QRectF(box.x() + d * column, box.y() + row, column, row), Qt::AlignCenter,
                   kWeekdays.at(static_cast<std::size_t>(d)));
    const int offset = first.dayOfWeek() - 1;
    for (QDate d = first; d.month() == first.month(); d = d.addDays(1)) {
        const int index = offset + d.day() - 1;
        const QRectF cell(box.x() + (index % 7) * column, box.y() + (2 + index / 7) * row, column,
                          row);
        paintDay(p, s, s.calendar.day(d), cell);
    }
}

// The legend from the left of `area`, wrapping; returns the height it took.
double paintLegend(QPainter& p, const Sheet& s, const std::vector<PlanMarks::Entry>& entries,
                   QRectF area, bool draw) {
    const double line = 6 * s.mm;
    const double swatch = 4.5 * s.mm;
    const QFont font = fontOf(3.4 * s.mm);
    p.setFont(font);
    double x = area.left();
    double y = area.top();
    for (const PlanMarks::Entry& e : entries) {
        const double width = swatch + 1.5 * s.mm + p.fontMetrics().horizontalAdvance(e.text);
        if (x > area.left() && x + width > area.right()) {
            x = area.left();
            y += line;
        }
        if (draw) {
            const QRectF box(x, y + (line - swatch) / 2, swatch, swatch);
            const bool alarm = !e.value;
            p.fillRect(box, alarm ? rgb(kAlarmRgb) : rgb(s.colours.of(*e.value)));
            p.setPen(alarm ? Qt::white : Qt::black);
            p.setFont(fontOf(3.2 * s.mm, true));
            p.drawText(box, Qt::AlignCenter, QString(e.mark));
            p.setFont(font);
            p.setPen(Qt::black);
            p.drawText(QRectF(x + swatch + 1.5 * s.mm, y, width, line),
                       Qt::AlignLeft | Qt::AlignVCenter, e.text);
        }
        x += width + 6 * s.mm;
    }
    return y + line - area.top();
}

} // namespace

int paintPlan(QPagedPaintDevice& device, const Calendar& calendar, const MonthSpan& span,
              QDate printedOn) {
    QPainter p;
    if (!p.begin(&device))
        throw Failure(QStringLiteral("no se puede dibujar en la impresora o el archivo elegido"));
    p.setRenderHint(QPainter::Antialiasing);
    DayColours colours;
    colours.meet(calendar.values());
    const PlanMarks marks(calendar.values());
    const Sheet s{calendar, marks, colours, device.logicalDpiX() / 25.4};

    QSet<QChar> seen;
    for (int i = 0; i < span.count; ++i)
        for (QDate d = span.month(i); d.month() == span.month(i).month(); d = d.addDays(1))
            seen.insert(marks.of(calendar.day(d)));
    const std::vector<PlanMarks::Entry> legend = marks.legend(calendar.values(), seen);

    const QRectF page(0, 0, device.width(), device.height());
    const int pages = (span.count + kMonthsPerPage - 1) / kMonthsPerPage;
    for (int n = 0; n < pages; ++n) {
        if (n > 0)
            device.newPage();
        const double titleHeight = 9 * s.mm;
        p.setPen(Qt::black);
        p.setFont(fontOf(6 * s.mm, true));
        p.drawText(QRectF(page.x(), page.y(), page.width(), titleHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Calendario de timbres: %1").arg(span.title()));
        p.setFont(fontOf(3.4 * s.mm));
        const QString printed =
            QStringLiteral("impreso el %1").arg(dateText(printedOn)) +
            (pages > 1 ? QStringLiteral(", hoja %1 de %2").arg(n + 1).arg(pages) : QString());
        p.drawText(QRectF(page.x(), page.y(), page.width(), titleHeight),
                   Qt::AlignRight | Qt::AlignVCenter, printed);
        const QRectF fileLine(page.x(), page.y() + titleHeight, page.width(), 6 * s.mm);
        p.drawText(fileLine, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(QStringLiteral("Calendario: %1").arg(calendar.file()),
                                              Qt::ElideMiddle, static_cast<int>(page.width())));

        const QRectF below(page.x(), 0, page.width(), 0);
        const double legendHeight = paintLegend(p, s, legend, below, false);
        const double top = fileLine.bottom() + 4 * s.mm;
        const QRectF months(page.x(), top, page.width(),
                            page.bottom() - legendHeight - 4 * s.mm - top);
        const int count = std::min(kMonthsPerPage, span.count - n * kMonthsPerPage);
        const double gap = 6 * s.mm;
        const int columns = bestColumns(count, months.size(), gap);
        const int rows = (count + columns - 1) / columns;
        const double width = (months.width() - gap * (columns - 1)) / columns;
        const double height = (months.height() - gap * (rows - 1)) / rows;
        for (int i = 0; i < count; ++i)
            paintMonth(p, s, span.month(n * kMonthsPerPage + i),
                       QRectF(months.x() + (i % columns) * (width + gap),
                              months.y() + (i / columns) * (height + gap), width, height));
        paintLegend(p, s, legend,
                    QRectF(page.x(), page.bottom() - legendHeight, page.width(), legendHeight),
                    true);
    }
    p.end();
    return pages;
}

QByteArray planPdf(const Calendar& calendar, const MonthSpan& span, QDate printedOn) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Horvex"));
        pdf.setTitle(QStringLiteral("Calendario de timbres: %1").arg(span.title()));
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        pdf.setResolution(600);
        paintPlan(pdf, calendar, span, printedOn);
    }
    return bytes;
}

} // namespace horvex
