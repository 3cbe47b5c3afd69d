#include "ui/plan_print.h"

#include "cli/plan_sheet.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace horvex {

namespace {

// Months offered: a year before the proposal to two after it.
constexpr int kBefore = 12;
constexpr int kAfter = 36;

QComboBox* monthList(QWidget* parent, QDate from, QDate chosen) {
    auto* list = new QComboBox(parent);
    for (int i = 0; i <= kBefore + kAfter; ++i) {
        const QDate m = from.addMonths(i);
        list->addItem(MonthSpan{m, 1}.title(), m);
        if (m == chosen)
            list->setCurrentIndex(i);
    }
    return list;
}

} // namespace

MonthSpan schoolYearOf(QDate month) {
    const int start = month.month() >= 7 ? month.year() : month.year() - 1;
    return {QDate(start, 9, 1), 10};
}

std::optional<MonthSpan> askMonths(QWidget* parent, const MonthSpan& proposed) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir el plan de timbres"));
    const QDate from = proposed.first.addMonths(-kBefore);
    QComboBox* first = monthList(&dialog, from, proposed.first);
    QComboBox* last = monthList(&dialog, from, proposed.last());
    first->setObjectName(QStringLiteral("desde"));
    last->setObjectName(QStringLiteral("hasta"));
    auto* note = new QLabel(&dialog);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    const auto span = [&] {
        const QDate a = first->currentData().toDate();
        const QDate b = last->currentData().toDate();
        return MonthSpan{a, (b.year() - a.year()) * 12 + b.month() - a.month() + 1};
    };
    const auto check = [&] {
        const MonthSpan s = span();
        const bool good = s.count >= 1 && s.count <= kMostPlanMonths;
        note->setText(s.count < 1 ? QStringLiteral("El último mes va antes del primero.")
                      : !good     ? QStringLiteral("Son %1 meses; se imprimen %2 como mucho.")
                                    .arg(s.count)
                                    .arg(kMostPlanMonths)
                              : QStringLiteral("%1 meses: %2.")
                                    .arg(s.count)
                                    .arg(s.count > kMonthsPerPage
                                             ? QStringLiteral("dos hojas A4 apaisadas")
                                             : QStringLiteral("una hoja A4 apaisada")));
        buttons->button(QDialogButtonBox::Ok)->setEnabled(good);
    };
    QObject::connect(first, &QComboBox::currentIndexChanged, &dialog, check);
    QObject::connect(last, &QComboBox::currentIndexChanged, &dialog, check);
    check();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Desde:"), first);
    form->addRow(QStringLiteral("Hasta:"), last);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Meses que se imprimen, cada día en el color de "
                                                "su horario, con la leyenda:"),
                                 &dialog));
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return span();
}

bool askPrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir el plan de timbres"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace horvex
