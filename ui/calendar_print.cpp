// The calendar window's Imprimir…: the months chosen, on paper or in a PDF.
#include "calendar/plan.h"
#include "cli/plan_sheet.h"
#include "schedule/failure.h"
#include "ui/frm_calendario.h"
#include "ui/month_grid.h"
#include "ui/plan_print.h"

#include <QPrinter>

namespace horvex {

void FrmCalendario::print() {
    const std::optional<MonthSpan> span =
        services_.chooseMonths(this, schoolYearOf(QDate(grid_->year(), grid_->month(), 1)));
    if (!span)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    // Its name is the PDF's offered name: no colon, which a USB stick refuses.
    printer.setDocName(QStringLiteral("Plan de timbres %1").arg(span->title()));
    if (!services_.choosePrinter(this, printer))
        return;
    try {
        const int pages = paintPlan(printer, draft_.calendar(), *span, services_.now().date());
        const QString sheets =
            pages == 1 ? QStringLiteral("una hoja") : QStringLiteral("%1 hojas").arg(pages);
        const QString unsaved =
            draft_.unsaved() ? QStringLiteral(", con los cambios sin guardar") : QString();
        say(printer.outputFileName().isEmpty()
                ? QStringLiteral("Enviado a %1 el plan de %2 (%3%4).")
                      .arg(printer.printerName(), span->title(), sheets, unsaved)
                : QStringLiteral("Guardado el plan de %1 en %2 (%3%4).")
                      .arg(span->title(), printer.outputFileName(), sheets, unsaved));
    } catch (const Failure& f) {
        say(QStringLiteral("No se imprimió: %1.").arg(f.description()), true);
    }
}

} // namespace horvex
