#include "ui/unsaved_close.h"

#include <QMessageBox>

namespace horvex {

bool mayCloseUnsaved(QWidget* window, const QString& title, const QString& question,
                     const std::function<void()>& save, const std::function<bool()>& unsaved) {
    const auto answer = QMessageBox::question(
        window, title, question, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
        QMessageBox::Save);
    if (answer == QMessageBox::Save)
        save();
    return !(answer == QMessageBox::Cancel || (answer == QMessageBox::Save && unsaved()));
}

} // namespace horvex
