#include "ui/frm_calendario.h"

#include "calendar/calendar_edit.h"
#include "calendar/rolling_day.h"
#include "ui/icons.h"
#include "ui/look.h"
#include "ui/month_panel.h"
#include "ui/plan_print.h"
#include "ui/problems_panel.h"
#include "ui/rule_panels.h"
#include "ui/schedule_editor.h"
#include "ui/unsaved_close.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

namespace horvex {

namespace {

const QString kTitle = QStringLiteral("Calendario de timbres");
const QString kQuitar = QStringLiteral("quitar");

} // namespace

FrmCalendario::FrmCalendario(QString file, MissingFolder missing, Services services,
                             QWidget* parent)
    : QWidget(parent)
    , file_(std::move(file))
    , services_(std::move(services))
    , draft_(file_, missing) {
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
    if (!services_.askNewSchedule)
        services_.askNewSchedule = &NewScheduleDialog::ask;
    undo_ = new QUndoStack(this);
    setUpWatcher();
    if (!services_.chooseMonths)
        services_.chooseMonths = askMonths;
    if (!services_.choosePrinter)
        services_.choosePrinter = askPrinter;
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
    setUpFetch();
}

FrmCalendario::~FrmCalendario() {
    // Before the members it tells of its closing.
    if (editor_) {
        editor_->disconnect(this);
        delete editor_;
    }
}

void FrmCalendario::build() {
    top_ = new QLabel(this);
    top_->setObjectName(QStringLiteral("top"));
    top_->setWordWrap(true);
    top_->setTextFormat(Qt::PlainText);
    top_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    month_ = new MonthPanel([this](QDate d) { return lookOf(d); },
                            [this] { return services_.now().date(); }, this);
    grid_ = &month_->grid();
    connect(grid_, &MonthGrid::selectionChanged, this, &FrmCalendario::showDay);
    connect(grid_, &MonthGrid::assignRequested, this, &FrmCalendario::assign);
    day_ = new DayPanel(this);
    connect(day_, &DayPanel::assignRequested, this, &FrmCalendario::assign);
    connect(day_, &DayPanel::newScheduleRequested, this, &FrmCalendario::newSchedule);
    connect(day_, &DayPanel::editRequested, this,
            [this] { editSchedule(day_->value().currentData().toString()); });
    week_ = new WeekTable(this);
    connect(week_, &WeekTable::ruleChosen, this, [this](int d) {
        const std::optional<DayValue> v = week_->chosen(d);
        edit([&](IniDocument& doc) { setWeekdayRule(doc, d, v); },
             QStringLiteral("cambiar los %1").arg(spanish().dayName(d)));
    });
    ics_ = new IcsPanel(this);
    connect(ics_, &IcsPanel::addRequested, this, &FrmCalendario::addIcs);
    connect(ics_, &IcsPanel::removeRequested, this, &FrmCalendario::removeIcs);
    connect(ics_, &IcsPanel::refreshRequested, this, [this] { refreshCopies(FetchWhen::Now); });
    connect(ics_, &IcsPanel::valueChosen, this, [this](const QString& key) {
        const std::optional<DayValue> v = ics_->value().chosen();
        edit([&](IniDocument& doc) { setIcsRule(doc, key, v); },
             QStringLiteral("cambiar los días de %1").arg(key));
    });
    problems_ = new ProblemsPanel(this);
    connect(problems_, &ProblemsPanel::chosen, this, &FrmCalendario::goToProblem);

    // The problems under the month, not across the window: the Día panel
    // keeps its height however many problems there are.
    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(month_, 1);
    left->addWidget(problems_);
    middle->addLayout(left, 3);
    auto* right = new QVBoxLayout;
    right->addWidget(day_, 1);
    right->addWidget(week_);
    right->addWidget(ics_);
    middle->addLayout(right, 2);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(8, 6, 8, 6);
    all->setSpacing(6);
    all->addWidget(top_);
    all->addLayout(middle, 1);
    all->addWidget(buildButtons());
    pressButtonsOnEnter(*this);
    resize(980, 690);
}

QWidget* FrmCalendario::buildButtons() {
    auto* box = new QWidget(this);
    status_ = new QLabel(box);
    status_->setWordWrap(true);
    status_->setObjectName(QStringLiteral("status"));
    QPushButton* send =
        makeButton(QStringLiteral("Enviar ahora"),
                   QStringLiteral("Enviar ahora al reloj lo que dice el calendario"), box);
    send->setObjectName(QStringLiteral("send"));
    QPushButton* saveButton =
        makeButton(QStringLiteral("Guardar"), QStringLiteral("Guardar el calendario"), box);
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setToolTip(QStringLiteral("Guarda %1 (Ctrl+S)").arg(file_));
    QPushButton* close =
        makeButton(QStringLiteral("Cerrar"), QStringLiteral("Cerrar la ventana"), box);
    QPushButton* printButton = makeButton(QStringLiteral("Imprimir…"),
                                          QStringLiteral("Imprimir el plan de unos meses"), box);
    printButton->setObjectName(QStringLiteral("print"));
    printButton->setToolTip(QStringLiteral("Los meses en color, con la leyenda (Ctrl+P)"));
    connect(printButton, &QPushButton::clicked, this, &FrmCalendario::print);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this,
            &FrmCalendario::print);
    connect(send, &QPushButton::clicked, this, &FrmCalendario::sendNow);
    connect(saveButton, &QPushButton::clicked, this, &FrmCalendario::save);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &FrmCalendario::save);
    buildUndo();
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(status_, 1);
    layout->addWidget(printButton);
    layout->addWidget(send);
    layout->addWidget(saveButton);
    layout->addWidget(close);
    return box;
}

void FrmCalendario::reload() {
    draft_.reload(services_.stored);
    undo_->clear();
    showCalendar();
    showTopLine();
    if (const QString& why = draft_.unreadable(); !why.isEmpty())
        say(QStringLiteral("No se pudo leer %1: %2. No se guardará nada hasta poder leerlo.")
                .arg(file_, why),
            true);
}

void FrmCalendario::showCalendar() {
    const Calendar& calendar = draft_.calendar();
    colours_.meet(calendar.values());
    setWindowTitle(draft_.unsaved() ? kTitle + QStringLiteral(" *") : kTitle);
    fillValueLists();
    week_->showRules(calendar.rules());
    ics_->showRules(calendar.rules());
    ics_->showCopies(copiesText(calendar.copies(), services_.now()));
    grid_->refresh();
    showDay();
    month_->setLegend(colours_.legend(calendar.values()));
    problems_->setProblems(draft_.problems(services_.now().date()), file_);
    showTopLine();
    watchFiles();
}

void FrmCalendario::fillValueLists() {
    QStringList files = scheduleFilesBeside(file_);
    for (const DayValue& v : draft_.calendar().values())
        if (v.kind == DayValue::Kind::File && !files.contains(v.file))
            files << v.file;
    day_->value().offer(files, QString(), kQuitar, QStringLiteral("silencio"));
    // A holiday calendar is the usual .ics: its days are silent unless told.
    ics_->offer(files);
    week_->offer(files);
}

DayLook FrmCalendario::lookOf(QDate day) const {
    const DayChoice choice = draft_.calendar().day(day);
    QString name = QFileInfo(choice.value.name()).fileName();
    if (name.endsWith(QLatin1String(".ini")))
        name.chop(4);
    return {colours_.of(choice.value), name, !choice.overruled.isEmpty(), !choice.schedule};
}

void FrmCalendario::showDay() {
    day_->showDays(grid_->selectionFirst(), grid_->selectionLast(), grid_->current(),
                   draft_.calendar().day(grid_->current()));
}

void FrmCalendario::goToProblem(const CalendarProblem& p) {
    const Calendar& calendar = draft_.calendar();
    if (p.day.isValid()) {
        grid_->goTo(p.day);
        grid_->setFocus();
        return;
    }
    for (const CalendarRule& rule : calendar.rules()) {
        const bool itsLine = p.file == file_ && p.line == rule.line;
        const bool itsIcs =
            rule.kind == CalendarRule::Kind::Calendar && p.file == calendar.resolve(rule.key);
        if (!itsLine && !itsIcs)
            continue;
        switch (rule.kind) {
        case CalendarRule::Kind::Date:
        case CalendarRule::Kind::Range:
            grid_->select(rule.first, rule.last);
            grid_->setFocus();
            return;
        case CalendarRule::Kind::Weekday:
            week_->focusDay(rule.weekday);
            return;
        case CalendarRule::Kind::Calendar:
            ics_->focusCalendar(rule.key);
            return;
        }
    }
    say(p.line > 0 ? QStringLiteral("Corrija la línea %1 de %2 a mano.").arg(p.line).arg(p.file)
                   : QStringLiteral("Corrija %1.").arg(p.file));
}

void FrmCalendario::showTopLine() {
    QStringList said{nextBellText(draft_.calendar(), services_.now())};
    if (services_.clockHolds)
        said << services_.clockHolds(file_);
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
    const std::optional<DayValue> v = day_->value().chosen();
    const QString days =
        first == last ? QStringLiteral("al %1").arg(longDate(first))
                      : QStringLiteral("a los días del %1 al %2")
                            .arg(spanish().toString(first, QStringLiteral("d 'de' MMMM")),
                                 spanish().toString(last, QStringLiteral("d 'de' MMMM 'de' yyyy")));
    const QString what = v ? QStringLiteral("asignar %1 %2").arg(v->name(), days)
                           : QStringLiteral("quitar las fechas %1").arg(days);
    edit(
        [&](IniDocument& doc) {
            if (v)
                assignDates(doc, first, last, *v);
            else
                removeDates(doc, first, last);
        },
        what);
    say(v ? QStringLiteral("Asignado %1 %2 (sin guardar).").arg(v->name(), days)
          : QStringLiteral("Quitadas las reglas de fecha que llegaban %1 (sin guardar).")
                .arg(days));
}

void FrmCalendario::save() {
    if (const QString& why = draft_.unreadable(); !why.isEmpty()) {
        say(QStringLiteral("No se guarda: %1 no se pudo leer al abrirlo (%2), y guardar lo "
                           "borraría. Corríjalo y vuelva a abrir la ventana.")
                .arg(file_, why),
            true);
        return;
    }
    try {
        draft_.save();
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
    setWindowTitle(kTitle);
    undo_->clear();
    showTopLine();
    watchFiles();
    if (problems_->hasErrors())
        say(QStringLiteral("Guardado %1, con errores: el temporizador no enviará nada hasta "
                           "que se corrijan.")
                .arg(file_),
            true);
    else
        say(QStringLiteral("Guardado %1.").arg(file_));
}

void FrmCalendario::sendNow() {
    if (draft_.unsaved()) {
        say(QStringLiteral("Guarde antes de enviar: el reloj y el temporizador deben seguir el "
                           "mismo calendario."),
            true);
        return;
    }
    if (problems_->hasErrors()) {
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
    // The schedule open asks about its own changes first.
    if (editor_ && !editor_->close())
        return event->ignore();
    if (!draft_.unsaved())
        return event->accept();
    if (mayCloseUnsaved(
            this, kTitle, QStringLiteral("Hay cambios sin guardar en %1.").arg(file_),
            [this] { save(); }, [this] { return draft_.unsaved(); }))
        event->accept();
    else
        event->ignore();
}

} // namespace horvex
