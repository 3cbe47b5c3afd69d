#include "ui/frm_opciones.h"

#include "clocklink/port_list.h"
#include "clocklink/puerto.h"
#include "schedule/failure.h"
#include "ui/icons.h"
#include "ui/look.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace horvex {

FrmOpciones::FrmOpciones(const QString& puertoCom, MSComm1& port, StatusLine& status,
                         MessageBox& box)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , port_(port)
    , status_(status)
    , box_(box) {
    setObjectName(QStringLiteral("frmOpciones"));
    setWindowTitle(QStringLiteral("Opciones de Programa"));
    setWindowIcon(buttonIcon("puerto"));
    setWindowModality(Qt::ApplicationModal);
    setFont(windowFont());
    resize(px(2610), px(2160));

    QGroupBox* Frame1 = makeFrame(QStringLiteral("Puerto Serie"), this,
                                  twipRect(45, 45, 2475, 1545), QStringLiteral("Frame1"));
    makeLabel(QStringLiteral("Puerto"), Frame1, twipRect(135, 405, 600, 240),
              QStringLiteral("Label4"));
    cboPort = new QComboBox(Frame1);
    cboPort->setObjectName(QStringLiteral("cboPort"));
    cboPort->setEditable(true);
    cboPort->setInsertPolicy(QComboBox::NoInsert);
    cboPort->setGeometry(twipRect(945, 360, 1110, 315));
    for (int n = 1; n <= 9; ++n)
        cboPort->addItem(QString::number(n));
    describeEntries();

    const auto button = [this](const QString& text, int left, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(twipRect(left, 1680, 1095, 375));
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    QPushButton* cmdOK = button(QStringLiteral("Aceptar"), 120, "cmdOK");
    QPushButton* Command2 = button(QStringLiteral("Cancelar"), 1440, "Command2");
    connect(cmdOK, &QPushButton::clicked, this, &FrmOpciones::cmdOK_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmOpciones::Command2_Click);
    QWidget::setTabOrder(cmdOK, Command2);
    QWidget::setTabOrder(Command2, cboPort);

    // Form_Load: the stored text as it stands, no entry selected.
    cboPort->setCurrentIndex(-1);
    cboPort->setEditText(puertoCom);
    cmdOK->setFocus();
    pressButtonsOnEnter(*this);
    centerOnScreen(*this);
}

// Each entry tells which device it opens here and whether that exists, and
// names the USB adapter it reaches, so an operator can find theirs.
void FrmOpciones::describeEntries() {
    const std::vector<PresentPort> present = presentPorts();
    for (int i = 0; i < cboPort->count(); ++i) {
        QString device;
        try {
            device = port_.deviceFor(i + 1);
        } catch (const Failure&) {
            continue; // the store cannot be read; start-up has said why
        }
        const bool exists = QFileInfo::exists(device) || !device.startsWith(QLatin1Char('/'));
        QString tip = exists ? device : QStringLiteral("%1 (no existe)").arg(device);
        const std::optional<PresentPort> adapter = presentPortAt(device, present);
        if (adapter && !(adapter->usbId.isEmpty() && adapter->stableName.isEmpty()))
            tip +=
                QStringLiteral(" (adaptador %1)")
                    .arg(adapter->description.isEmpty() ? QFileInfo(adapter->stableName).fileName()
                                                        : adapter->description);
        cboPort->setItemData(i, tip, Qt::ToolTipRole);
    }
}

void FrmOpciones::cmdOK_Click() {
    try {
        AbrirPuerto(port_, cboPort->currentText());
        MostrarPuerto(port_, status_);
        status_.setPanelText(1, QString());
        accept();
    } catch (const Failure& failure) {
        ErrorPuerto(failure.description(), box_, status_);
    }
}

void FrmOpciones::Command2_Click() {
    status_.setPanelText(1, QString());
    reject();
}

void FrmOpciones::keyPressEvent(QKeyEvent* event) {
    if (!swallowDialogKeys(*event))
        QDialog::keyPressEvent(event);
}

} // namespace horvex
