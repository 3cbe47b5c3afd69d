#pragma once

#include <QDialog>

namespace horvex {

// "Acerca de": the program's name, picture and version.
class FrmAcerca : public QDialog {
    Q_OBJECT
public:
    explicit FrmAcerca(QWidget* owner = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace horvex
