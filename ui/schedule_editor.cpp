#include "ui/schedule_editor.h"

#include "schedule/lists.h"
#include "ui/calendar_look.h"
#include "ui/look.h"
#include "ui/unsaved_close.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTime>
#include <QUndoStack>
#include <QVBoxLayout>

namespace horvex {

namespace {

enum Column { kTime, kRing, kProblem };

const QString kLargo = QStringLiteral("largo");
const QString kCorto = QStringLiteral("corto");

// An hour after the last bell, for a bell added: the usual step of a school
// day, and a time that is not taken yet.
QString suggestedTime(const std::vector<DraftBell>& bells) {
    QTime last(7, 0);
    for (const DraftBell& b : bells)
        if (const QTime t = QTime::fromString(b.time, QStringLiteral("HH:mm")); t.isValid())
            last = std::max(last, t);
    return std::min(last.addSecs(3600), QTime(23, 0)).toString(QStringLiteral("HH:mm"));
}

} // namespace

// One edit, undone by putting back the schedule as it was.
class ScheduleEditor::Change : public QUndoCommand {
public:
    Change(ScheduleEditor& editor, ScheduleDraft before, ScheduleDraft after, const QString& what)
        : QUndoCommand(what)
        , editor_(editor)
        , before_(std::move(before))
        , after_(std::move(after)) {}
    void undo() override { editor_.put(before_); }
    void redo() override { editor_.put(after_); }

private:
    ScheduleEditor& editor_;
    ScheduleDraft before_;
    ScheduleDraft after_;
};

ScheduleEditor::ScheduleEditor(const QString& name, bool renamable, const ScheduleDraft& draft,
                               QWidget* parent)
    : QDialog(parent)
    , name_(name)
    , draft_(draft) {
    setObjectName(QStringLiteral("scheduleEditor"));
    undo_ = new QUndoStack(this);
    nameEdit_ = new QLineEdit(name, this);
    nameEdit_->setObjectName(QStringLiteral("scheduleName"));
    nameEdit_->setReadOnly(!renamable);
    nameForScreenReaders(*nameEdit_, QStringLiteral("Nombre del horario"));
    if (!renamable)
        nameEdit_->setToolTip(QStringLiteral("El horario grabado en la ventana principal; su "
                                             "nombre no cambia"));
    connect(nameEdit_, &QLineEdit::textEdited, this, &ScheduleEditor::showTitle);
    short_ = ringList(QStringLiteral("Duración del timbre corto"), QStringLiteral("shortRing"));
    long_ = ringList(QStringLiteral("Duración del timbre largo"), QStringLiteral("longRing"));

    bells_ = new QTableWidget(0, 3, this);
    bells_->setObjectName(QStringLiteral("scheduleBells"));
    nameForScreenReaders(*bells_, QStringLiteral("Timbres del horario"));
    bells_->setHorizontalHeaderLabels(
        {QStringLiteral("Hora"), QStringLiteral("Timbre"), QStringLiteral("Problema")});
    bells_->horizontalHeader()->setSectionResizeMode(kProblem, QHeaderView::Stretch);
    bells_->setColumnWidth(kTime, 80);
    bells_->setColumnWidth(kRing, 90);
    bells_->setSelectionBehavior(QAbstractItemView::SelectRows);
    bells_->setSelectionMode(QAbstractItemView::SingleSelection);
    bells_->setWordWrap(true);
    // As high as a row's ring list, or a problem's lines if more.
    bells_->verticalHeader()->setMinimumSectionSize(QComboBox().sizeHint().height());
    connect(bells_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        const auto row = static_cast<std::size_t>(item->row());
        const QString time = item->text().trimmed();
        if (item->column() == kTime && row < draft_.bells.size() && draft_.bells[row].time != time)
            change([&](ScheduleDraft& d) { d.bells[row].time = time; },
                   QStringLiteral("cambiar la hora"));
    });

    other_ = new QLabel(this);
    other_->setWordWrap(true);
    other_->setObjectName(QStringLiteral("scheduleProblems"));
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setObjectName(QStringLiteral("editorStatus"));

    QPushButton* add = makeButton(QStringLiteral("Añadir timbre"),
                                  QStringLiteral("Añadir un timbre al horario"), this);
    add->setObjectName(QStringLiteral("addBell"));
    QPushButton* remove = makeButton(QStringLiteral("Quitar timbre"),
                                     QStringLiteral("Quitar el timbre elegido"), this);
    remove->setObjectName(QStringLiteral("removeBell"));
    QPushButton* save =
        makeButton(QStringLiteral("Guardar"), QStringLiteral("Guardar el horario"), this);
    save->setObjectName(QStringLiteral("saveSchedule"));
    QPushButton* close =
        makeButton(QStringLiteral("Cerrar"), QStringLiteral("Cerrar el horario"), this);
    connect(add, &QPushButton::clicked, this, &ScheduleEditor::addBell);
    connect(remove, &QPushButton::clicked, this, &ScheduleEditor::removeBell);
    connect(save, &QPushButton::clicked, this, &ScheduleEditor::saveRequested);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &ScheduleEditor::saveRequested);
    connect(new QShortcut(QKeySequence::Undo, this), &QShortcut::activated, undo_,
            &QUndoStack::undo);
    connect(makeRedoShortcut(this), &QShortcut::activated, undo_, &QUndoStack::redo);
    connect(undo_, &QUndoStack::cleanChanged, this, &ScheduleEditor::showTitle);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Nombre:"), this));
    top->addWidget(nameEdit_, 1);
    auto* rings = new QHBoxLayout;
    rings->addWidget(new QLabel(QStringLiteral("Timbre corto:"), this));
    rings->addWidget(short_);
    rings->addSpacing(12);
    rings->addWidget(new QLabel(QStringLiteral("Timbre largo:"), this));
    rings->addWidget(long_);
    rings->addStretch(1);
    auto* edits = new QHBoxLayout;
    edits->addWidget(add);
    edits->addWidget(remove);
    edits->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(rings);
    all->addWidget(bells_, 1);
    all->addLayout(edits);
    all->addWidget(other_);
    all->addLayout(buttons);
    pressButtonsOnEnter(*this);
    resize(560, 520);
    put(draft_);
    showTitle();
}

ScheduleEditor::~ScheduleEditor() {
    // The stack, a child, says it became clean as it is destroyed, after
    // this editor has stopped being one: it must not reach showTitle then.
    undo_->disconnect(this);
}

QComboBox* ScheduleEditor::ringList(const QString& spoken, const QString& object) {
    auto* list = new QComboBox(this);
    list->setObjectName(object);
    nameForScreenReaders(*list, spoken);
    connect(list, &QComboBox::activated, this, [this, list] {
        const QString value = list->currentText();
        const bool isShort = list == short_;
        if (value != (isShort ? draft_.shortRing : draft_.longRing))
            change([&](ScheduleDraft& d) { (isShort ? d.shortRing : d.longRing) = value; },
                   QStringLiteral("cambiar la duración del timbre"));
    });
    return list;
}

void ScheduleEditor::setRing(QComboBox& list, const QString& value, const QString& problem) {
    const QSignalBlocker quiet(&list);
    list.clear();
    for (int i = 0; i < kRingList.count(); ++i)
        list.addItem(kRingList.entry(i));
    // A value the list does not offer is shown as it is, with its problem.
    if (list.findText(value) < 0)
        list.addItem(value);
    list.setCurrentIndex(list.findText(value));
    list.setToolTip(problem);
    QPalette p = list.palette();
    p.setColor(QPalette::ButtonText,
               problem.isEmpty() ? palette().color(QPalette::ButtonText) : badText(*this));
    list.setPalette(p);
}

QString ScheduleEditor::typedName() const {
    return nameEdit_->text().trimmed();
}

bool ScheduleEditor::unsaved() const {
    return !undo_->isClean() || typedName() != name_;
}

void ScheduleEditor::saved(const QString& name) {
    name_ = name;
    nameEdit_->setText(name);
    undo_->setClean();
    showTitle();
}

void ScheduleEditor::replace(const ScheduleDraft& draft) {
    undo_->clear();
    put(draft);
    showTitle();
}

void ScheduleEditor::say(const QString& text, bool bad) {
    QPalette p = status_->palette();
    p.setColor(QPalette::WindowText, bad ? badText(*this) : palette().color(QPalette::WindowText));
    status_->setPalette(p);
    status_->setText(text);
}

void ScheduleEditor::showTitle() {
    setWindowTitle(
        QStringLiteral("Horario %1%2").arg(name_, unsaved() ? QStringLiteral(" *") : QString()));
}

void ScheduleEditor::change(const std::function<void(ScheduleDraft&)>& edit, const QString& what) {
    ScheduleDraft after = draft_;
    edit(after);
    undo_->push(new Change(*this, draft_, std::move(after), what));
}

void ScheduleEditor::put(const ScheduleDraft& draft) {
    draft_ = draft;
    const ScheduleDraft::Problems problems = draft_.problems();
    setRing(*short_, draft_.shortRing, problems.ofShortRing);
    setRing(*long_, draft_.longRing, problems.ofLongRing);
    const int current = bells_->currentRow();
    const QSignalBlocker quiet(bells_);
    bells_->setRowCount(static_cast<int>(draft_.bells.size()));
    // Cells are kept and refilled: an edit arrives from inside one of them.
    for (int row = 0; row < bells_->rowCount(); ++row) {
        const DraftBell& bell = draft_.bells[static_cast<std::size_t>(row)];
        const QString& problem = problems.ofBell[static_cast<std::size_t>(row)];
        QTableWidgetItem* time = bells_->item(row, kTime);
        if (time == nullptr) {
            time = new QTableWidgetItem;
            bells_->setItem(row, kTime, time);
        }
        time->setText(bell.time);
        time->setToolTip(bell.slot ? QStringLiteral("Fijado en la ranura %1 del reloj")
                                         .arg(slotName(static_cast<std::size_t>(*bell.slot)))
                                   : QString());
        auto* ring = qobject_cast<QComboBox*>(bells_->cellWidget(row, kRing));
        if (ring == nullptr) {
            ring = new QComboBox(bells_);
            ring->addItems({kCorto, kLargo});
            connect(ring, &QComboBox::activated, this, [this, ring](int index) {
                for (int r = 0; r < bells_->rowCount(); ++r)
                    if (bells_->cellWidget(r, kRing) == ring &&
                        draft_.bells[static_cast<std::size_t>(r)].isLong != (index == 1))
                        return change(
                            [&](ScheduleDraft& d) {
                                d.bells[static_cast<std::size_t>(r)].isLong = index == 1;
                            },
                            QStringLiteral("cambiar el timbre"));
            });
            bells_->setCellWidget(row, kRing, ring);
        }
        const QSignalBlocker quietRing(ring);
        ring->setCurrentIndex(bell.isLong ? 1 : 0);
        nameForScreenReaders(*ring, QStringLiteral("Timbre de las %1").arg(bell.time));
        QTableWidgetItem* said = bells_->item(row, kProblem);
        if (said == nullptr) {
            said = new QTableWidgetItem;
            said->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            said->setForeground(badText(*this));
            bells_->setItem(row, kProblem, said);
        }
        said->setText(problem);
        said->setToolTip(problem);
    }
    bells_->resizeRowsToContents();
    if (current >= 0 && bells_->rowCount() > 0)
        bells_->setCurrentCell(std::min(current, bells_->rowCount() - 1), kTime);
    other_->setText(problems.other.join(QLatin1Char('\n')));
    other_->setVisible(!problems.other.isEmpty());
    QPalette p = other_->palette();
    p.setColor(QPalette::WindowText, badText(*this));
    other_->setPalette(p);
    showTitle();
}

void ScheduleEditor::addBell() {
    change(
        [&](ScheduleDraft& d) {
            d.bells.push_back({suggestedTime(d.bells), false, std::nullopt});
        },
        QStringLiteral("añadir un timbre"));
    const int row = bells_->rowCount() - 1;
    bells_->setCurrentCell(row, kTime);
    bells_->setFocus();
    bells_->editItem(bells_->item(row, kTime));
}

void ScheduleEditor::removeBell() {
    const int row = bells_->currentRow();
    if (row < 0 || row >= bells_->rowCount())
        return say(QStringLiteral("Elija primero el timbre que quiere quitar."));
    change([&](ScheduleDraft& d) { d.bells.erase(d.bells.begin() + row); },
           QStringLiteral("quitar un timbre"));
}

void ScheduleEditor::closeEvent(QCloseEvent* event) {
    if (!unsaved())
        return event->accept();
    if (mayCloseUnsaved(
            this, windowTitle(),
            QStringLiteral("Hay cambios sin guardar en el horario %1.").arg(name_),
            [this] { emit saveRequested(); }, [this] { return unsaved(); }))
        event->accept();
    else
        event->ignore();
}

} // namespace horvex
