#pragma once

#include "clocklink/mscomm.h"
#include "clocklink/operator.h"

#include <QDialog>

class QComboBox;

namespace horvex {

// "Opciones de Programa": switches the clock's port for the rest of the run.
// The stored port text is shown but never written.
class FrmOpciones : public QDialog {
    Q_OBJECT
public:
    FrmOpciones(const QString& puertoCom, MSComm1& port, StatusLine& status, MessageBox& box);

    void cmdOK_Click();
    void Command2_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void describeEntries();

    MSComm1& port_;
    StatusLine& status_;
    MessageBox& box_;
    QComboBox* cboPort = nullptr;
};

} // namespace horvex
