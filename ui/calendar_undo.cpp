// Undo and redo of the calendar's edits not yet saved.
#include "ui/frm_calendario.h"
#include "ui/look.h"

#include <QShortcut>
#include <QUndoStack>

namespace horvex {

// An edit of the calendar, undone by putting back the text it changed.
class FrmCalendario::Edit : public QUndoCommand {
public:
    Edit(FrmCalendario& window, IniDocument before, IniDocument after, const QString& what)
        : QUndoCommand(what)
        , window_(window)
        , before_(std::move(before))
        , after_(std::move(after)) {}
    void undo() override { window_.restore(before_); }
    void redo() override { window_.restore(after_); }

private:
    FrmCalendario& window_;
    IniDocument before_;
    IniDocument after_;
};

void FrmCalendario::edit(const std::function<void(IniDocument&)>& change, const QString& what) {
    IniDocument after = draft_.document();
    change(after);
    undo_->push(new Edit(*this, draft_.document(), std::move(after), what));
}

void FrmCalendario::restore(const IniDocument& doc) {
    draft_.restore(doc);
    showCalendar();
}

void FrmCalendario::buildUndo() {
    connect(new QShortcut(QKeySequence::Undo, this), &QShortcut::activated, this, [this] {
        if (!undo_->canUndo())
            return say(QStringLiteral("No hay nada que deshacer."));
        const QString what = undo_->undoText();
        undo_->undo();
        say(QStringLiteral("Deshecho: %1.").arg(what));
    });
    connect(makeRedoShortcut(this), &QShortcut::activated, this, [this] {
        if (!undo_->canRedo())
            return say(QStringLiteral("No hay nada que rehacer."));
        const QString what = undo_->redoText();
        undo_->redo();
        say(QStringLiteral("Rehecho: %1.").arg(what));
    });
}

} // namespace horvex
