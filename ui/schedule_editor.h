#pragma once

#include "schedule/schedule_draft.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QUndoStack;

namespace horvex {

// A schedule opened from the calendar window: its name, its two ring
// lengths and its bells, a time and long or short each, with each bell's
// problem beside it as soon as it is typed. The window saves it; the editor
// only asks (saveRequested).
class ScheduleEditor : public QDialog {
    Q_OBJECT
public:
    // `renamable`: a file may get another name; "guardado" may not.
    ScheduleEditor(const QString& name, bool renamable, const ScheduleDraft& draft,
                   QWidget* parent);
    ~ScheduleEditor() override;

    const QString& name() const { return name_; }
    // The name typed, which saving gives the schedule.
    QString typedName() const;
    const ScheduleDraft& draft() const { return draft_; }
    bool unsaved() const;
    // After a save: `name` is the schedule's name now.
    void saved(const QString& name);
    // The schedule as read again from disk; its edits are dropped.
    void replace(const ScheduleDraft& draft);
    void say(const QString& text, bool bad = false);

    // What the buttons do, for the window's tests too.
    void addBell();
    void removeBell();

signals:
    void saveRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Change;
    void change(const std::function<void(ScheduleDraft&)>& edit, const QString& what);
    void put(const ScheduleDraft& draft);
    void showTitle();
    QComboBox* ringList(const QString& spoken, const QString& object);
    void setRing(QComboBox& list, const QString& value, const QString& problem);

    QString name_;
    ScheduleDraft draft_;
    QLineEdit* nameEdit_ = nullptr;
    QComboBox* short_ = nullptr;
    QComboBox* long_ = nullptr;
    QTableWidget* bells_ = nullptr;
    QLabel* other_ = nullptr;
    QLabel* status_ = nullptr;
    QUndoStack* undo_ = nullptr;
};

} // namespace horvex
