#include "ui/frm_calendario.h"

#include "calendar/calendar_edit.h"
#include "calendar/rolling_day.h"
#include "ui/calendar_look.h"
#include "ui/icons.h"
#include "ui/look.h"
#include "ui/month_grid.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace horvex {

namespace {

const QString kTitle = QStringLiteral("Calendario de timbres");
const QString kQuitar = QStringLiteral("quitar");

// Light fills, so the text on them is black under any palette.
const QColor kGuardadoColour(0xb6, 0xd7, 0xa8);
const QColor kSilencioColour(0xc8, 0xc8, 0xc8);
const std::array<QColor, 8> kFileColours{QColor(0x9f, 0xc5, 0xe8), QColor(0xff, 0xd9, 0x66),
                                         QColor(0xd5, 0xa6, 0xbd), QColor(0xf9, 0xcb, 0x9c),
                                         QColor(0xa2, 0xd4, 0xd9), QColor(0xb4, 0xa7, 0xd6),
                                         QColor(0xe6, 0xb8, 0xaf), QColor(0xdd, 0xe0, 0x8a)};

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QPushButton* button(const QString& text, const QString& spoken, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    nameForScreenReaders(*b, spoken);
    return b;
}

QToolButton* arrow(const QString& text, const QString& tip, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setMinimumWidth(30);
    nameForScreenReaders(*b, tip);
    return b;
}

QComboBox* list(const QString& spoken, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(12);
    nameForScreenReaders(*c, spoken);
    return c;
}

} // namespace

FrmCalendario::FrmCalendario(QString file, MissingFolder missing, Services services,
                             QWidget* parent)
    : QWidget(parent)
    , file_(std::move(file))
    , missing_(missing)
    , services_(std::move(services)) {
    setWindowTitle(kTitle);
    setWindowIcon(calendarIcon());
    if (!services_.ask)
        services_.ask = [](QWidget* parent, const QString& title, const QString& text) {
            return QMessageBox::question(parent, title, text) == QMessageBox::Yes;
        };
    if (!services_.chooseIcs)
        services_.chooseIcs = [](QWidget* parent, const QString& folder) {
            return QFileDialog::getOpenFileName(parent, QStringLiteral("Añadir un calendario .ics"),
                                                folder,
                                                QStringLiteral("iCalendar (*.ics);;Todos (*)"));
        };
    if (!services_.chooseNewSchedule)
        services_.chooseNewSchedule = [](QWidget* parent, const QString& folder) {
            return QFileDialog::getSaveFileName(parent, QStringLiteral("Nuevo archivo de horario"),
                                                folder, QStringLiteral("Horarios (*.ini)"), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
        };
    build();
    reload();
    grid_->setToday(services_.now().date());
    grid_->goTo(services_.now().date());
    grid_->setFocus();
    minute_ = new QTimer(this);
    connect(minute_, &QTimer::timeout, this, [this] {
        grid_->setToday(services_.now().date());
        showTopLine();
    });
    minute_->start(60 * 1000);
}

FrmCalendario::~FrmCalendario() = default;

void FrmCalendario::build() {
    top_ = new QLabel(this);
    top_->setWordWrap(true);
    top_->setTextFormat(Qt::PlainText);
    top_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* middle = new QHBoxLayout;
    middle->addWidget(buildMonth(), 3);
    auto* right = new QVBoxLayout;
    right->addWidget(buildDay(), 1);
    right->addWidget(buildWeek());
    right->addWidget(buildIcs());
    middle->addLayout(right, 2);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(8, 6, 8, 6);
    all->setSpacing(6);
    all->addWidget(top_);
    all->addLayout(middle, 1);
    all->addWidget(buildProblems());
    all->addWidget(buildButtons());
    pressButtonsOnEnter(*this);
    resize(980, 690);
}

QWidget* FrmCalendario::buildMonth() {
    auto* box = new QWidget(this);
    auto* nav = new QHBoxLayout;
    QToolButton* backYear = arrow(QStringLiteral("«"), QStringLiteral("Año anterior"), box);
    QToolButton* back = arrow(QStringLiteral("‹"), QStringLiteral("Mes anterior"), box);
    QToolButton* next = arrow(QStringLiteral("›"), QStringLiteral("Mes siguiente"), box);
    QToolButton* nextYear = arrow(QStringLiteral("»"), QStringLiteral("Año siguiente"), box);
    QPushButton* today = button(QStringLiteral("hoy"), QStringLiteral("Ir a hoy"), box);
    monthTitle_ = new QLabel(box);
    monthTitle_->setAlignment(Qt::AlignCenter);
    QFont bold = monthTitle_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    monthTitle_->setFont(bold);
    for (QWidget* w : std::initializer_list<QWidget*>{backYear, back})
        nav->addWidget(w);
    nav->addWidget(monthTitle_, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{next, nextYear, today})
        nav->addWidget(w);

    grid_ = new MonthGrid([this](QDate d) { return lookOf(d); }, box);
    grid_->setObjectName(QStringLiteral("grid"));
    nameForScreenReaders(*grid_, QStringLiteral("Días del mes"));
    legend_ = new QLabel(box);
    legend_->setWordWrap(true);

    const auto moveBy = [this](int months) {
        const QDate day = grid_->current().addMonths(months);
        grid_->goTo(day);
    };
    connect(backYear, &QToolButton::clicked, this, [moveBy] { moveBy(-12); });
    connect(back, &QToolButton::clicked, this, [moveBy] { moveBy(-1); });
    connect(next, &QToolButton::clicked, this, [moveBy] { moveBy(1); });
    connect(nextYear, &QToolButton::clicked, this, [moveBy] { moveBy(12); });
    connect(today, &QPushButton::clicked, this, [this] {
        grid_->goTo(services_.now().date());
        grid_->setFocus();
    });
    connect(grid_, &MonthGrid::selectionChanged, this, [this] {
        showDay();
        showMonthTitle();
    });
    connect(grid_, &MonthGrid::assignRequested, this, &FrmCalendario::assign);

    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(nav);
    layout->addWidget(grid_, 1);
    layout->addWidget(legend_);
    return box;
}

QWidget* FrmCalendario::buildDay() {
    auto* box = new QGroupBox(QStringLiteral("Día"), this);
    dayTitle_ = new QLabel(box);
    QFont bold = dayTitle_->font();
    bold.setBold(true);
    dayTitle_->setFont(bold);
    dayRule_ = new QLabel(box);
    dayRule_->setWordWrap(true);
    dayRule_->setTextFormat(Qt::RichText);
    bells_ = new QListWidget(box);
    bells_->setObjectName(QStringLiteral("bells"));
    nameForScreenReaders(*bells_, QStringLiteral("Timbres del día"));
    bells_->setFlow(QListView::LeftToRight);
    bells_->setWrapping(true);
    bells_->setResizeMode(QListView::Adjust);
    bells_->setSpacing(2);
    bells_->setMinimumHeight(60);

    value_ = list(QStringLiteral("Horario para los días elegidos"), box);
    value_->setObjectName(QStringLiteral("value"));
    QPushButton* assignButton = button(
        QStringLiteral("Asignar"), QStringLiteral("Asignar el horario a los días elegidos"), box);
    assignButton->setObjectName(QStringLiteral("assign"));
    QPushButton* fresh = button(QStringLiteral("Nuevo horario…"),
                                QStringLiteral("Nuevo archivo de horario desde el guardado"), box);
    fresh->setToolTip(QStringLiteral("Crea un archivo de horario con el horario guardado, para "
                                     "editarlo después"));
    connect(assignButton, &QPushButton::clicked, this, &FrmCalendario::assign);
    connect(fresh, &QPushButton::clicked, this, &FrmCalendario::newSchedule);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Horario:"), box));
    row->addWidget(value_, 1);
    row->addWidget(assignButton);
    row->addWidget(fresh);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(dayTitle_);
    layout->addWidget(dayRule_);
    layout->addWidget(bells_, 1);
    layout->addLayout(row);
    return box;
}

QWidget* FrmCalendario::buildWeek() {
    auto* box = new QGroupBox(QStringLiteral("Semana"), this);
    auto* layout = new QGridLayout(box);
    layout->setVerticalSpacing(3);
    for (int d = 1; d <= 7; ++d) {
        const QString name = spanish().dayName(d);
        QComboBox* c = list(QStringLiteral("Horario de los %1").arg(name), box);
        c->setObjectName(QStringLiteral("week_%1").arg(d));
        week_[static_cast<std::size_t>(d - 1)] = c;
        auto* label = new QLabel(name + QLatin1Char(':'), box);
        label->setBuddy(c);
        const int row = (d - 1) % 4;
        const int column = (d - 1) / 4 * 2;
        layout->addWidget(label, row, column);
        layout->addWidget(c, row, column + 1);
        connect(c, &QComboBox::activated, this, [this, d, c] {
            const std::optional<DayValue> v = chosen(*c);
            edit([&](IniDocument& doc) { setWeekdayRule(doc, d, v); });
        });
    }
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);
    return box;
}

QWidget* FrmCalendario::buildIcs() {
    auto* box = new QGroupBox(QStringLiteral("Calendarios .ics"), this);
    icsList_ = new QListWidget(box);
    icsList_->setObjectName(QStringLiteral("ics"));
    nameForScreenReaders(*icsList_, QStringLiteral("Calendarios .ics y su horario"));
    icsList_->setMaximumHeight(64);
    icsValue_ = list(QStringLiteral("Horario de los días del calendario .ics"), box);
    icsValue_->setObjectName(QStringLiteral("icsValue"));
    QPushButton* add =
        button(QStringLiteral("Añadir…"), QStringLiteral("Añadir un calendario .ics"), box);
    add->setObjectName(QStringLiteral("addIcs"));
    QPushButton* remove =
        button(QStringLiteral("Quitar"), QStringLiteral("Quitar el calendario .ics elegido"), box);
    connect(add, &QPushButton::clicked, this, &FrmCalendario::addIcs);
    connect(remove, &QPushButton::clicked, this, &FrmCalendario::removeIcs);
    connect(icsList_, &QListWidget::currentRowChanged, this, [this] {
        const QListWidgetItem* item = icsList_->currentItem();
        if (item != nullptr)
            icsValue_->setCurrentIndex(
                icsValue_->findData(item->data(Qt::UserRole + 1).toString()));
    });
    connect(icsValue_, &QComboBox::activated, this, [this] {
        const QListWidgetItem* item = icsList_->currentItem();
        if (item == nullptr)
            return;
        const QString key = item->data(Qt::UserRole).toString();
        const std::optional<DayValue> v = chosen(*icsValue_);
        edit([&](IniDocument& doc) { setIcsRule(doc, key, v); });
    });

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Sus días:"), box));
    row->addWidget(icsValue_, 1);
    row->addWidget(add);
    row->addWidget(remove);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(icsList_);
    layout->addLayout(row);
    return box;
}

QWidget* FrmCalendario::buildProblems() {
    auto* box = new QGroupBox(QStringLiteral("Problemas"), this);
    errorsBanner_ = new QLabel(box);
    errorsBanner_->setWordWrap(true);
    QPalette red = errorsBanner_->palette();
    red.setColor(QPalette::WindowText, QColor(0xff, 0xff, 0xff));
    red.setColor(QPalette::Window, kAlarmRed);
    errorsBanner_->setPalette(red);
    errorsBanner_->setAutoFillBackground(true);
    errorsBanner_->setMargin(4);
    QFont bold = errorsBanner_->font();
    bold.setBold(true);
    errorsBanner_->setFont(bold);
    problemList_ = new QListWidget(box);
    problemList_->setObjectName(QStringLiteral("problems"));
    nameForScreenReaders(*problemList_, QStringLiteral("Problemas del calendario"));
    problemList_->setMaximumHeight(84);
    problemList_->setWordWrap(true);
    connect(problemList_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { goToProblem(problemList_->row(item)); });
    connect(problemList_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { goToProblem(problemList_->row(item)); });
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(errorsBanner_);
    layout->addWidget(problemList_);
    return box;
}

QWidget* FrmCalendario::buildButtons() {
    auto* box = new QWidget(this);
    status_ = new QLabel(box);
    status_->setWordWrap(true);
    status_->setObjectName(QStringLiteral("status"));
    QPushButton* send =
        button(QStringLiteral("Enviar ahora"),
               QStringLiteral("Enviar ahora al reloj lo que dice el calendario"), box);
    send->setObjectName(QStringLiteral("send"));
    QPushButton* saveButton =
        button(QStringLiteral("Guardar"), QStringLiteral("Guardar el calendario"), box);
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setToolTip(QStringLiteral("Guarda %1 (Ctrl+S)").arg(file_));
    QPushButton* close = button(QStringLiteral("Cerrar"), QStringLiteral("Cerrar la ventana"), box);
    connect(send, &QPushButton::clicked, this, &FrmCalendario::sendNow);
    connect(saveButton, &QPushButton::clicked, this, &FrmCalendario::save);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &FrmCalendario::save);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(status_, 1);
    layout->addWidget(send);
    layout->addWidget(saveButton);
    layout->addWidget(close);
    return box;
}

void FrmCalendario::reload() {
    unreadable_.clear();
    try {
        loaded_ = readStoreFile(file_);
    } catch (const Failure& f) {
        loaded_.clear();
        unreadable_ = f.description();
    }
    doc_ = IniDocument::parse(loaded_);
    unsaved_ = false;
    readStored();
    recalculate();
    showTopLine();
    if (!unreadable_.isEmpty())
        say(QStringLiteral("No se pudo leer %1: %2. No se guardará nada hasta poder leerlo.")
                .arg(file_, unreadable_),
            true);
}

void FrmCalendario::readStored() {
    stored_ = unsetSchedule();
    storeProblem_.clear();
    try {
        if (services_.stored)
            stored_ = clockSchedule(services_.stored());
    } catch (const Failure& f) {
        storeProblem_ = f.description();
    }
}

void FrmCalendario::edit(const std::function<void(IniDocument&)>& change) {
    change(doc_);
    unsaved_ = true;
    recalculate();
}

void FrmCalendario::recalculate() {
    calendar_ = Calendar::parse(file_, doc_.serialize(), stored_);
    for (const DayValue& v : calendar_.values())
        if (!colourOrder_.contains(v.name()))
            colourOrder_ << v.name();
    setWindowTitle(unsaved_ ? kTitle + QStringLiteral(" *") : kTitle);
    fillValueLists();
    showWeek();
    showIcs();
    grid_->refresh();
    showDay();
    showMonthTitle();
    showLegend();
    showProblems();
}

void FrmCalendario::fillValueLists() {
    QStringList files = scheduleFilesBeside(file_);
    for (const DayValue& v : calendar_.values())
        if (v.kind == DayValue::Kind::File && !files.contains(v.file))
            files << v.file;
    // A holiday calendar is the usual .ics: its days are silent unless told.
    const auto fill = [&](QComboBox& c, const QString& first, const QString& last,
                          const QString& fallback = {}) {
        const QVariant keep = c.count() > 0 ? c.currentData() : QVariant(fallback);
        const QSignalBlocker quiet(&c);
        c.clear();
        if (!first.isNull())
            c.addItem(first, QVariant());
        for (const QString& f : files)
            c.addItem(f, f);
        c.addItem(QStringLiteral("silencio"), QStringLiteral("silencio"));
        c.addItem(QStringLiteral("guardado"), QStringLiteral("guardado"));
        if (!last.isNull())
            c.addItem(last, QString());
        c.setCurrentIndex(std::max(0, c.findData(keep)));
    };
    fill(*value_, QString(), kQuitar, QStringLiteral("silencio"));
    fill(*icsValue_, QString(), QString(), QStringLiteral("silencio"));
    for (QComboBox* c : week_)
        fill(*c, QStringLiteral("(sin regla)"), QString());
}

std::optional<DayValue> FrmCalendario::chosen(const QComboBox& list) const {
    const QString name = list.currentData().toString();
    if (name.isEmpty())
        return std::nullopt;
    return dayValueNamed(name);
}

void FrmCalendario::showWeek() {
    for (int d = 1; d <= 7; ++d) {
        QComboBox* c = week_[static_cast<std::size_t>(d - 1)];
        const QSignalBlocker quiet(c);
        c->setCurrentIndex(0);
        // The rule written last decides, as in the calendar.
        for (const CalendarRule& rule : calendar_.rules())
            if (rule.kind == CalendarRule::Kind::Weekday && rule.weekday == d)
                c->setCurrentIndex(std::max(0, c->findData(rule.value.name())));
    }
}

void FrmCalendario::showIcs() {
    const QString keep = icsList_->currentItem() != nullptr
                             ? icsList_->currentItem()->data(Qt::UserRole).toString()
                             : QString();
    const QSignalBlocker quiet(icsList_);
    icsList_->clear();
    for (const CalendarRule& rule : calendar_.rules()) {
        if (rule.kind != CalendarRule::Kind::Calendar)
            continue;
        auto* item = new QListWidgetItem(QStringLiteral("%1 → %2").arg(rule.key, rule.value.name()),
                                         icsList_);
        item->setData(Qt::UserRole, rule.key);
        item->setData(Qt::UserRole + 1, rule.value.name());
        if (rule.key == keep)
            icsList_->setCurrentItem(item);
    }
}

QColor FrmCalendario::colourOf(const DayValue& value) const {
    switch (value.kind) {
    case DayValue::Kind::Guardado:
        return kGuardadoColour;
    case DayValue::Kind::Silencio:
        return kSilencioColour;
    case DayValue::Kind::File:
        break;
    }
    qsizetype n = 0;
    for (const QString& name : colourOrder_) {
        if (name == value.file)
            break;
        n += name != QLatin1String("guardado") && name != QLatin1String("silencio") ? 1 : 0;
    }
    return kFileColours[static_cast<std::size_t>(n) % kFileColours.size()];
}

DayLook FrmCalendario::lookOf(QDate day) const {
    const DayChoice choice = calendar_.day(day);
    QString name = QFileInfo(choice.value.name()).fileName();
    if (name.endsWith(QLatin1String(".ini")))
        name.chop(4);
    return {colourOf(choice.value), name, !choice.overruled.isEmpty(), !choice.schedule};
}

void FrmCalendario::showMonthTitle() {
    const QDate month(grid_->year(), grid_->month(), 1);
    monthTitle_->setText(spanish().toString(month, QStringLiteral("MMMM 'de' yyyy")));
}

void FrmCalendario::showLegend() {
    QStringList items;
    for (const DayValue& v : calendar_.values()) {
        const QColor fill = colourOf(v);
        items << QStringLiteral(
                     "<span style=\"background-color:%1; color:%2\">&nbsp;%3&nbsp;</span>")
                     .arg(fill.name(), textOn(fill).name(), escaped(v.name()));
    }
    const QString badge = QStringLiteral("<span style=\"background-color:%1; color:#ffffff\">"
                                         "&nbsp;<b>%2</b>&nbsp;</span>&nbsp;%3")
                              .arg(kAlarmRed.name());
    items << badge.arg(QStringLiteral("!"), QStringLiteral("conflicto"))
          << badge.arg(QStringLiteral("?"), QStringLiteral("horario&nbsp;con&nbsp;errores"))
          << QStringLiteral("<b>recuadro&nbsp;grueso</b>:&nbsp;hoy");
    legend_->setText(items.join(QStringLiteral(" &nbsp; ")));
}

void FrmCalendario::showDay() {
    const QDate first = grid_->selectionFirst();
    const QDate last = grid_->selectionLast();
    const DayChoice c = calendar_.day(grid_->current());
    dayTitle_->setText(first == last
                           ? longDate(first)
                           : QStringLiteral("Del %1 al %2 (%3 días); se ve el %4")
                                 .arg(spanish().toString(first, QStringLiteral("d MMM")),
                                      spanish().toString(last, QStringLiteral("d MMM yyyy")))
                                 .arg(first.daysTo(last) + 1)
                                 .arg(grid_->current().day()));
    QString rule = QStringLiteral("Horario: <b>%1</b><br>Regla: %2")
                       .arg(escaped(c.value.name()), escaped(c.rule));
    for (const QString& other : c.overruled)
        rule += QStringLiteral("<br><span style=\"color:%1\"><b>Conflicto:</b> %2</span>")
                    .arg(badText(*this).name(), escaped(other));
    dayRule_->setText(rule);
    bells_->clear();
    if (!c.schedule) {
        bells_->addItem(QStringLiteral("El archivo de horario tiene errores: ver Problemas"));
        return;
    }
    try {
        const std::vector<Bell> bells = bellsOf(*c.schedule);
        for (const Bell& b : bells)
            bells_->addItem(b.toString());
        if (bells.empty())
            bells_->addItem(QStringLiteral("Ningún timbre"));
    } catch (const Failure& f) {
        bells_->addItem(f.description());
    }
}

void FrmCalendario::showProblems() {
    problems_.clear();
    if (!unreadable_.isEmpty())
        problems_.push_back({{file_, 0, unreadable_, false, {}}, true});
    if (!storeProblem_.isEmpty())
        problems_.push_back({{file_,
                              0,
                              QStringLiteral("«guardado» se muestra sin timbres: ") + storeProblem_,
                              true,
                              {}},
                             false});
    for (const CalendarProblem& p : calendar_.check(services_.now().date()))
        problems_.push_back({p, !p.warning});
    problemList_->clear();
    int errors = 0;
    int conflicts = 0;
    for (const Problem& p : problems_) {
        errors += p.stopsTimer() ? 1 : 0;
        conflicts += p.error && p.problem.isConflict() ? 1 : 0;
        // Files beside the calendar by their names alone: the list is narrow.
        CalendarProblem shown = p.problem;
        if (!QFileInfo(nameInCalendar(file_, shown.file)).isAbsolute())
            shown.file = nameInCalendar(file_, shown.file);
        auto* item =
            new QListWidgetItem(style()->standardIcon(p.error ? QStyle::SP_MessageBoxCritical
                                                              : QStyle::SP_MessageBoxWarning),
                                shown.toString(), problemList_);
        item->setToolTip(p.problem.toString());
    }
    if (problems_.empty())
        problemList_->addItem(QStringLiteral("Ningún problema."));
    errorsBanner_->setVisible(errors + conflicts > 0);
    if (errors > 0)
        errorsBanner_->setText(
            QStringLiteral("El calendario tiene %1 %2: mientras no se corrija%3, el temporizador "
                           "no enviará nada y el reloj seguirá con lo que tiene. Se puede guardar "
                           "igual.")
                .arg(errors)
                .arg(errors == 1 ? QStringLiteral("error") : QStringLiteral("errores"),
                     errors == 1 ? QString() : QStringLiteral("n")));
    else
        errorsBanner_->setText(
            QStringLiteral("El calendario tiene %1 %2: esos días el temporizador envía lo que "
                           "dice la regla escrita después. Corríjalo para que no haya dudas.")
                .arg(conflicts)
                .arg(conflicts == 1 ? QStringLiteral("conflicto") : QStringLiteral("conflictos")));
}

bool FrmCalendario::hasErrors() const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [](const Problem& p) { return p.stopsTimer(); });
}

void FrmCalendario::goToProblem(int row) {
    if (row < 0 || row >= static_cast<int>(problems_.size()))
        return;
    const CalendarProblem& p = problems_[static_cast<std::size_t>(row)].problem;
    if (p.day.isValid()) {
        grid_->goTo(p.day);
        grid_->setFocus();
        return;
    }
    for (const CalendarRule& rule : calendar_.rules()) {
        const bool itsLine = p.file == file_ && p.line == rule.line;
        const bool itsIcs =
            rule.kind == CalendarRule::Kind::Calendar && p.file == calendar_.resolve(rule.key);
        if (!itsLine && !itsIcs)
            continue;
        switch (rule.kind) {
        case CalendarRule::Kind::Date:
        case CalendarRule::Kind::Range:
            grid_->select(rule.first, rule.last);
            grid_->setFocus();
            return;
        case CalendarRule::Kind::Weekday:
            week_[static_cast<std::size_t>(rule.weekday - 1)]->setFocus();
            return;
        case CalendarRule::Kind::Calendar:
            for (int i = 0; i < icsList_->count(); ++i)
                if (icsList_->item(i)->data(Qt::UserRole).toString() == rule.key)
                    icsList_->setCurrentRow(i);
            icsList_->setFocus();
            return;
        }
    }
    say(p.line > 0 ? QStringLiteral("Corrija la línea %1 de %2 a mano.").arg(p.line).arg(p.file)
                   : QStringLiteral("Corrija %1.").arg(p.file));
}

void FrmCalendario::showTopLine() {
    QStringList said;
    if (services_.clockHolds)
        said << services_.clockHolds();
    if (services_.nextRun)
        said << services_.nextRun(file_);
    top_->setText(said.join(QLatin1Char(' ')));
}

void FrmCalendario::say(const QString& text, bool bad) {
    QPalette p = status_->palette();
    p.setColor(QPalette::WindowText, bad ? badText(*this) : palette().color(QPalette::WindowText));
    status_->setPalette(p);
    QFont f = status_->font();
    f.setBold(bad);
    status_->setFont(f);
    status_->setText(text);
}

void FrmCalendario::setPanelText(int panel, const QString& text) {
    if (panel != 1)
        return;
    say(text);
    status_->repaint();
}

bool FrmCalendario::ask(const QString& title, const QString& text) {
    return services_.ask(this, title, text);
}

void FrmCalendario::assign() {
    const QDate first = grid_->selectionFirst();
    const QDate last = grid_->selectionLast();
    const std::optional<DayValue> v = chosen(*value_);
    edit([&](IniDocument& doc) {
        if (v)
            assignDates(doc, first, last, *v);
        else
            removeDates(doc, first, last);
    });
    const QString days = first == last
                             ? longDate(first)
                             : QStringLiteral("del %1 al %2")
                                   .arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate));
    say(v ? QStringLiteral("Asignado %1 a %2 (sin guardar).").arg(v->name(), days)
          : QStringLiteral("Quitadas las fechas %1 (sin guardar).").arg(days));
}

void FrmCalendario::addIcs() {
    const QString path = services_.chooseIcs(this, QFileInfo(file_).absolutePath());
    if (path.isEmpty())
        return;
    const QString name = nameInCalendar(file_, path);
    const DayValue v = chosen(*icsValue_).value_or(DayValue{DayValue::Kind::Silencio, {}});
    edit([&](IniDocument& doc) { setIcsRule(doc, name, v); });
    say(QStringLiteral("Añadido %1: sus días usan %2 (sin guardar).").arg(name, v.name()));
}

void FrmCalendario::removeIcs() {
    const QListWidgetItem* item = icsList_->currentItem();
    if (item == nullptr) {
        say(QStringLiteral("Elija primero el calendario .ics que quiere quitar."));
        return;
    }
    const QString key = item->data(Qt::UserRole).toString();
    edit([&](IniDocument& doc) { setIcsRule(doc, key, std::nullopt); });
    say(QStringLiteral("Quitado %1 del calendario (el archivo sigue en su sitio; sin guardar).")
            .arg(key));
}

void FrmCalendario::newSchedule() {
    const QString path = services_.chooseNewSchedule(this, QFileInfo(file_).absolutePath());
    if (path.isEmpty())
        return;
    try {
        if (!services_.stored)
            throw Failure(QStringLiteral("no hay horario guardado"));
        writeNewScheduleFile(path, services_.stored());
    } catch (const Failure& f) {
        say(f.description(), true);
        return;
    }
    recalculate();
    const QString name = nameInCalendar(file_, path);
    if (value_->findData(name) < 0)
        value_->insertItem(0, name, name);
    value_->setCurrentIndex(value_->findData(name));
    say(QStringLiteral("Creado %1 con el horario guardado: edítelo a mano, un timbre por línea.")
            .arg(path));
}

void FrmCalendario::save() {
    if (!unreadable_.isEmpty()) {
        say(QStringLiteral("No se guarda: %1 no se pudo leer al abrirlo (%2), y guardar lo "
                           "borraría. Corríjalo y vuelva a abrir la ventana.")
                .arg(file_, unreadable_),
            true);
        return;
    }
    try {
        loaded_ = saveCalendarText(file_, loaded_, doc_, missing_);
    } catch (const ChangedOnDisk& changed) {
        if (ask(QStringLiteral("El calendario cambió"),
                QStringLiteral("%1. No se ha guardado nada.\n\n¿Leerlo de nuevo? Los cambios "
                               "hechos en esta ventana se perderán.")
                    .arg(changed.description()))) {
            reload();
            say(QStringLiteral("Leído de nuevo %1.").arg(file_));
        } else {
            say(QStringLiteral("No se guardó: %1.").arg(changed.description()), true);
        }
        return;
    } catch (const Failure& f) {
        say(QStringLiteral("No se guardó: %1").arg(f.description()), true);
        return;
    }
    unsaved_ = false;
    doc_ = IniDocument::parse(loaded_);
    setWindowTitle(kTitle);
    showTopLine();
    if (hasErrors())
        say(QStringLiteral("Guardado %1, con errores: el temporizador no enviará nada hasta "
                           "que se corrijan.")
                .arg(file_),
            true);
    else
        say(QStringLiteral("Guardado %1.").arg(file_));
}

void FrmCalendario::sendNow() {
    if (unsaved_) {
        say(QStringLiteral("Guarde antes de enviar: el reloj y el temporizador deben seguir el "
                           "mismo calendario."),
            true);
        return;
    }
    if (hasErrors()) {
        say(QStringLiteral("No se envía nada: el calendario tiene errores (ver Problemas). El "
                           "reloj sigue con lo que tiene."),
            true);
        return;
    }
    if (services_.sendNow)
        services_.sendNow(file_, *this);
    showTopLine();
}

void FrmCalendario::closeEvent(QCloseEvent* event) {
    if (!unsaved_)
        return event->accept();
    const auto answer = QMessageBox::question(
        this, kTitle, QStringLiteral("Hay cambios sin guardar en %1.").arg(file_),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        save();
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && unsaved_))
        event->ignore();
    else
        event->accept();
}

} // namespace horvex
