#include "ui/rule_panels.h"

#include "calendar/calendar_edit.h"
#include "calendar/rolling_day.h"
#include "schedule/failure.h"
#include "ui/calendar_look.h"
#include "ui/look.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace horvex {

ScheduleList::ScheduleList(const QString& spoken, QWidget* parent)
    : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    nameForScreenReaders(*this, spoken);
}

void ScheduleList::offer(const QStringList& files, const QString& first, const QString& last,
                         const QString& fallback) {
    const QVariant keep = count() > 0 ? currentData() : QVariant(fallback);
    const QSignalBlocker quiet(this);
    clear();
    if (!first.isNull())
        addItem(first, QVariant());
    for (const QString& f : files)
        addItem(f, f);
    addItem(QStringLiteral("silencio"), QStringLiteral("silencio"));
    addItem(QStringLiteral("libre"), QStringLiteral("libre"));
    addItem(QStringLiteral("guardado"), QStringLiteral("guardado"));
    if (!last.isNull())
        addItem(last, QString());
    setCurrentIndex(std::max(0, findData(keep)));
}

std::optional<DayValue> ScheduleList::chosen() const {
    const QString name = currentData().toString();
    if (name.isEmpty())
        return std::nullopt;
    return dayValueNamed(name);
}

DayPanel::DayPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Día"), parent) {
    title_ = new QLabel(this);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    rule_ = new QLabel(this);
    rule_->setWordWrap(true);
    rule_->setTextFormat(Qt::RichText);
    bells_ = new QListWidget(this);
    bells_->setObjectName(QStringLiteral("bells"));
    nameForScreenReaders(*bells_, QStringLiteral("Timbres del día"));
    bells_->setFlow(QListView::LeftToRight);
    bells_->setWrapping(true);
    bells_->setResizeMode(QListView::Adjust);
    bells_->setSpacing(2);
    bells_->setMinimumHeight(60);

    value_ = new ScheduleList(QStringLiteral("Horario para los días elegidos"), this);
    value_->setObjectName(QStringLiteral("value"));
    QPushButton* assign = makeButton(
        QStringLiteral("Asignar"), QStringLiteral("Asignar el horario a los días elegidos"), this);
    assign->setObjectName(QStringLiteral("assign"));
    QPushButton* fresh = makeButton(QStringLiteral("Nuevo horario…"),
                                    QStringLiteral("Crear un horario nuevo"), this);
    fresh->setObjectName(QStringLiteral("newSchedule"));
    fresh->setToolTip(QStringLiteral("Crea un horario con nombre, vacío o copiado de otro, y lo "
                                     "abre para poner sus timbres"));
    QPushButton* change = makeButton(
        QStringLiteral("Editar…"), QStringLiteral("Editar los timbres del horario elegido"), this);
    change->setObjectName(QStringLiteral("editSchedule"));
    connect(assign, &QPushButton::clicked, this, &DayPanel::assignRequested);
    connect(fresh, &QPushButton::clicked, this, &DayPanel::newScheduleRequested);
    connect(change, &QPushButton::clicked, this, &DayPanel::editRequested);
    value_->installEventFilter(this);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Horario:"), this));
    row->addWidget(value_, 1);
    row->addWidget(assign);
    auto* files = new QHBoxLayout;
    files->addStretch(1);
    files->addWidget(change);
    files->addWidget(fresh);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(rule_);
    layout->addWidget(bells_, 1);
    layout->addLayout(row);
    layout->addLayout(files);
}

bool DayPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == value_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit assignRequested();
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void DayPanel::showDays(QDate first, QDate last, QDate current, const DayChoice& choice) {
    title_->setText(first == last ? longDate(first)
                                  : QStringLiteral("Del %1 al %2 (%3 días); se ve el %4")
                                        .arg(spanish().toString(first, QStringLiteral("d MMM")),
                                             spanish().toString(last, QStringLiteral("d MMM yyyy")))
                                        .arg(first.daysTo(last) + 1)
                                        .arg(current.day()));
    QString rule = QStringLiteral("Horario: <b>%1</b><br>Regla: %2")
                       .arg(choice.value.name().toHtmlEscaped(), choice.rule.toHtmlEscaped());
    for (const QString& other : choice.overruled)
        rule += QStringLiteral("<br><span style=\"color:%1\"><b>Conflicto:</b> %2</span>")
                    .arg(badText(*this).name(), other.toHtmlEscaped());
    rule_->setText(rule);
    bells_->clear();
    if (choice.value.kind == DayValue::Kind::Libre) {
        bells_->addItem(
            QStringLiteral("Día libre: el reloj suena ya lo del siguiente día lectivo"));
        return;
    }
    if (!choice.schedule) {
        bells_->addItem(QStringLiteral("El archivo de horario tiene errores: ver Problemas"));
        return;
    }
    try {
        const std::vector<Bell> bells = bellsOf(*choice.schedule);
        for (const Bell& b : bells)
            bells_->addItem(b.toString());
        if (bells.empty())
            bells_->addItem(QStringLiteral("Ningún timbre"));
    } catch (const Failure& f) {
        bells_->addItem(f.description());
    }
}

WeekTable::WeekTable(QWidget* parent)
    : QGroupBox(QStringLiteral("Semana"), parent) {
    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(3);
    for (int d = 1; d <= 7; ++d) {
        const QString name = spanish().dayName(d);
        auto* c = new ScheduleList(QStringLiteral("Horario de los %1").arg(name), this);
        c->setObjectName(QStringLiteral("week_%1").arg(d));
        days_[static_cast<std::size_t>(d - 1)] = c;
        auto* label = new QLabel(name + QLatin1Char(':'), this);
        label->setBuddy(c);
        const int row = (d - 1) % 4;
        const int column = (d - 1) / 4 * 2;
        layout->addWidget(label, row, column);
        layout->addWidget(c, row, column + 1);
        connect(c, &QComboBox::activated, this, [this, d] { emit ruleChosen(d); });
    }
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
}

ScheduleList& WeekTable::day(int weekday) const {
    return *days_.at(static_cast<std::size_t>(weekday - 1));
}

void WeekTable::offer(const QStringList& files) {
    for (ScheduleList* c : days_)
        c->offer(files, QStringLiteral("(sin regla)"), QString());
}

void WeekTable::showRules(const std::vector<CalendarRule>& rules) {
    for (int d = 1; d <= 7; ++d) {
        ScheduleList& c = day(d);
        const QSignalBlocker quiet(c);
        c.setCurrentIndex(0);
        // The rule written last decides, as in the calendar.
        for (const CalendarRule& rule : rules)
            if (rule.kind == CalendarRule::Kind::Weekday && rule.weekday == d)
                c.setCurrentIndex(std::max(0, c.findData(rule.value.name())));
    }
}

std::optional<DayValue> WeekTable::chosen(int weekday) const {
    return day(weekday).chosen();
}

void WeekTable::focusDay(int weekday) {
    day(weekday).setFocus();
}

IcsPanel::IcsPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Calendarios .ics"), parent) {
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ics"));
    nameForScreenReaders(*list_, QStringLiteral("Calendarios .ics y su horario"));
    list_->setMaximumHeight(64);
    value_ = new ScheduleList(QStringLiteral("Horario de los días del calendario .ics"), this);
    value_->setObjectName(QStringLiteral("icsValue"));
    QPushButton* add =
        makeButton(QStringLiteral("Añadir…"), QStringLiteral("Añadir un calendario .ics"), this);
    add->setObjectName(QStringLiteral("addIcs"));
    QPushButton* remove = makeButton(QStringLiteral("Quitar"),
                                     QStringLiteral("Quitar el calendario .ics elegido"), this);
    QPushButton* refresh = makeButton(
        QStringLiteral("Actualizar"),
        QStringLiteral("Descargar ahora los calendarios .ics que son una dirección"), this);
    refresh->setObjectName(QStringLiteral("refreshIcs"));
    copies_ = new QLabel(this);
    copies_->setObjectName(QStringLiteral("icsCopies"));
    copies_->setWordWrap(true);
    copies_->setTextFormat(Qt::PlainText);
    copies_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    copies_->hide();
    connect(add, &QPushButton::clicked, this, &IcsPanel::addRequested);
    connect(remove, &QPushButton::clicked, this, &IcsPanel::removeRequested);
    connect(refresh, &QPushButton::clicked, this, &IcsPanel::refreshRequested);
    connect(list_, &QListWidget::currentRowChanged, this, [this] {
        const QListWidgetItem* item = list_->currentItem();
        if (item != nullptr)
            value_->setCurrentIndex(value_->findData(item->data(Qt::UserRole + 1).toString()));
    });
    connect(value_, &QComboBox::activated, this, [this] {
        if (const QString key = currentKey(); !key.isNull())
            emit valueChosen(key);
    });

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Sus días:"), this));
    row->addWidget(value_, 1);
    row->addWidget(add);
    row->addWidget(remove);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(list_, 1);
    listRow->addWidget(refresh, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(listRow);
    layout->addWidget(copies_);
    layout->addLayout(row);
}

void IcsPanel::showCopies(const QString& text) {
    copies_->setText(text);
    copies_->setVisible(!text.isEmpty());
}

void IcsPanel::offer(const QStringList& files) {
    value_->offer(files, QString(), QString(), QStringLiteral("silencio"));
}

void IcsPanel::showRules(const std::vector<CalendarRule>& rules) {
    const QString keep = currentKey();
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const CalendarRule& rule : rules) {
        if (rule.kind != CalendarRule::Kind::Calendar)
            continue;
        auto* item =
            new QListWidgetItem(QStringLiteral("%1 → %2").arg(rule.key, rule.value.name()), list_);
        item->setData(Qt::UserRole, rule.key);
        item->setData(Qt::UserRole + 1, rule.value.name());
        if (rule.key == keep)
            list_->setCurrentItem(item);
    }
}

QString IcsPanel::currentKey() const {
    const QListWidgetItem* item = list_->currentItem();
    return item != nullptr ? item->data(Qt::UserRole).toString() : QString();
}

void IcsPanel::focusCalendar(const QString& key) {
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->data(Qt::UserRole).toString() == key)
            list_->setCurrentRow(i);
    list_->setFocus();
}

} // namespace horvex
