#pragma once

#include <QDialog>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;

namespace horvex {

// What "Nuevo horario…" makes: a name, and what it starts from: "guardado"
// (the stored schedule), an empty text (no bell) or a schedule file's name.
struct NewSchedule {
    QString name;
    QString start;
};

// Asks for a new schedule's name and start. `check` turns the typed name
// into the file's name, or throws Failure saying why it cannot be; the
// dialog stays open with the reason until the name will do.
class NewScheduleDialog : public QDialog {
public:
    NewScheduleDialog(const QStringList& files, std::function<QString(const QString&)> check,
                      QWidget* parent);

    // The schedule to make, once accepted.
    NewSchedule chosen() const;

    // Shows the dialog; nothing when it was cancelled.
    static std::optional<NewSchedule> ask(QWidget* parent, const QStringList& files,
                                          const std::function<QString(const QString&)>& check);

private:
    void tryAccept();

    std::function<QString(const QString&)> check_;
    QLineEdit* name_ = nullptr;
    QComboBox* start_ = nullptr;
    QLabel* problem_ = nullptr;
    QString fileName_;
};

} // namespace horvex
