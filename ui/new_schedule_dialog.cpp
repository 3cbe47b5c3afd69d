#include "ui/new_schedule_dialog.h"

#include "schedule/failure.h"
#include "ui/calendar_look.h"
#include "ui/look.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace horvex {

NewScheduleDialog::NewScheduleDialog(const QStringList& files,
                                     std::function<QString(const QString&)> check, QWidget* parent)
    : QDialog(parent)
    , check_(std::move(check)) {
    setWindowTitle(QStringLiteral("Nuevo horario"));
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("newName"));
    name_->setPlaceholderText(QStringLiteral("por ejemplo: viernes, exámenes"));
    start_ = new QComboBox(this);
    start_->setObjectName(QStringLiteral("newStart"));
    start_->addItem(QStringLiteral("el horario guardado"), QStringLiteral("guardado"));
    start_->addItem(QStringLiteral("ningún timbre"), QString());
    for (const QString& f : files)
        start_->addItem(QStringLiteral("una copia de %1").arg(f), f);
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    QPalette red = problem_->palette();
    red.setColor(QPalette::WindowText, badText(*this));
    problem_->setPalette(red);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Crear"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &NewScheduleDialog::tryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nombre:"), name_);
    form->addRow(QStringLiteral("Empieza con:"), start_);
    auto* all = new QVBoxLayout(this);
    all->addWidget(new QLabel(QStringLiteral("El horario se guarda como archivo junto al "
                                             "calendario; después se editan sus timbres."),
                              this));
    all->addLayout(form);
    all->addWidget(problem_);
    all->addWidget(buttons);
    resize(420, sizeHint().height());
}

void NewScheduleDialog::tryAccept() {
    try {
        fileName_ = check_(name_->text());
    } catch (const Failure& f) {
        problem_->setText(f.description());
        name_->setFocus();
        return;
    }
    accept();
}

NewSchedule NewScheduleDialog::chosen() const {
    return {fileName_, start_->currentData().toString()};
}

std::optional<NewSchedule>
NewScheduleDialog::ask(QWidget* parent, const QStringList& files,
                       const std::function<QString(const QString&)>& check) {
    NewScheduleDialog dialog(files, check, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace horvex
