// The main window's controls, each at its place of the fixed form (in
// twips), with its name, tab order and handler.
#include "schedule/lists.h"
#include "ui/frm_main.h"
#include "ui/icons.h"
#include "ui/look.h"
#include "ui/main_messages.h"
#include "ui/number_list.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <array>

namespace horvex {

namespace {

// Where the members of a row stand in each of the three columns, in twips.
struct Column {
    int hhLabel, hhList, mmLabel, mmList, check;
};
constexpr std::array<Column, 3> kColumns{{
    {180, 720, 1500, 2040, 2760},
    {3300, 3840, 4740, 5280, 6000},
    {6480, 7020, 7920, 8460, 9180},
}};
constexpr int kRowsPerColumn = 12;
constexpr int kRowPitch = 360;

QString indexedName(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

} // namespace

void FrmMain::buildButtons() {
    const auto imageButton = [this](const char* name, const char* picture, const char* tip,
                                    int left) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setIcon(buttonIcon(picture));
        button->setIconSize(QSize(24, 24));
        button->setToolTip(QString::fromUtf8(tip));
        nameForScreenReaders(*button, button->toolTip());
        button->setAutoRaise(false);
        button->setGeometry(twipRect(left, 60, 495, 435));
        return button;
    };
    Opciones = imageButton("Opciones", "opciones", "Opciones de Puerto", 180);
    Grabo = imageButton("Grabo", "grabar", "Grabar Datos", 780);
    Acerca = imageButton("Acerca", "acerca", "Acerca de ...", 8700);
    salir = imageButton("salir", "salir", "Salir", 9300);

    Actualizar = new QPushButton(QStringLiteral("Actualizar Reloj"), this);
    Actualizar->setObjectName(QStringLiteral("Actualizar"));
    Actualizar->setGeometry(twipRect(7980, 6360, 1695, 435));
}

void FrmMain::buildAlarmFrame() {
    QGroupBox* Frame1 = makeFrame(QStringLiteral("Alarmas"), this, twipRect(120, 660, 9675, 5115),
                                  QStringLiteral("Frame1"));

    const std::array<const char*, 3> timeHeadings{"Label3", "Label5", "Label7"};
    const std::array<const char*, 3> longHeadings{"Label4", "Label6", "Label8"};
    const std::array<int, 3> timeLeft{1260, 4500, 7680};
    const std::array<int, 3> longLeft{2700, 5940, 9120};
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        makeLabel(QStringLiteral("HH:MM"), Frame1, twipRect(timeLeft[c], 240, 735, 255),
                  timeHeadings[c]);
        makeLabel(QStringLiteral("Largo"), Frame1, twipRect(longLeft[c], 240, 435, 255),
                  longHeadings[c]);
    }

    for (int i = 0; i < kSlots; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const Column& col = kColumns[slot / kRowsPerColumn];
        const int row = i % kRowsPerColumn;
        const int labelTop = 660 + kRowPitch * row;
        const int listTop = 600 + kRowPitch * row;

        HH[slot] = makeLabel(QStringLiteral("H%1 :").arg(twoDigitText(i)), Frame1,
                             twipRect(col.hhLabel, labelTop, 495, 255), indexedName("HH", i));
        cboHH[slot] =
            pickList(Frame1, twipRect(col.hhList, listTop, 675, 315), indexedName("cboHH", i),
                     QStringLiteral("Hora H%1").arg(twoDigitText(i)));
        MM[slot] = makeLabel(QStringLiteral("M%1 :").arg(twoDigitText(i)), Frame1,
                             twipRect(col.mmLabel, labelTop, 495, i % 2 == 0 ? 255 : 315),
                             indexedName("MM", i));
        cboMM[slot] =
            pickList(Frame1, twipRect(col.mmList, listTop, 675, 315), indexedName("cboMM", i),
                     QStringLiteral("Minuto M%1").arg(twoDigitText(i)));
        chkAla[slot] = new QCheckBox(Frame1);
        chkAla[slot]->setObjectName(indexedName("chkAla", i));
        chkAla[slot]->setGeometry(twipRect(col.check, labelTop, 255, 255));
        nameForScreenReaders(*chkAla[slot], QStringLiteral("Largo H%1").arg(twoDigitText(i)));
    }
}

void FrmMain::buildRingFrame() {
    QGroupBox* Frame2 = makeFrame(QStringLiteral("Tiempo Alarma"), this,
                                  twipRect(120, 5880, 3195, 975), QStringLiteral("Frame2"));
    makeLabel(QStringLiteral("Corto :"), Frame2, twipRect(180, 420, 735, 255), "Label1");
    cmbCorto = pickList(Frame2, twipRect(780, 360, 675, 315), QStringLiteral("cmbCorto"),
                        QStringLiteral("Corto"));
    makeLabel(QStringLiteral("Largo :"), Frame2, twipRect(1680, 420, 735, 255), "Label2");
    cmbLargo = pickList(Frame2, twipRect(2280, 360, 675, 315), QStringLiteral("cmbLargo"),
                        QStringLiteral("Largo"));
}

void FrmMain::buildClockFrame() {
    QGroupBox* Frame3 = makeFrame(QStringLiteral("Hora Actual"), this,
                                  twipRect(3480, 5880, 1515, 975), QStringLiteral("Frame3"));
    Hora = makeLabel(QString(), Frame3, twipRect(180, 480, 1035, 315), "Hora");
    Hora->setFont(windowFont(9.75, true));
}

void FrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The status bar stays docked to the bottom edge over the full width;
    // nothing else moves.
    StatusBar1->dock();
}

void FrmMain::setTabOrder() {
    std::vector<QWidget*> order{Actualizar, Opciones, Acerca, salir, cmbCorto};
    for (std::size_t i = 0; i < kSlots; ++i) {
        order.push_back(cboHH[i]);
        order.push_back(cboMM[i]);
    }
    order.push_back(Grabo);
    order.insert(order.end(), chkAla.begin(), chkAla.end());
    order.push_back(cmbLargo);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    for (QWidget* w : order)
        w->setFocusPolicy(Qt::StrongFocus);
    Actualizar->setFocus();
}

void FrmMain::connectHandlers() {
    for (int i = 0; i < kSlots; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        connect(cboHH[slot], &QComboBox::activated, this, [this, i] { cboHH_Click(i); });
        connect(cboMM[slot], &QComboBox::activated, this, [this, i] { cboMM_Click(i); });
        connect(chkAla[slot], &QCheckBox::stateChanged, this, [this, i] { chkAla_Click(i); });
    }
    connect(cmbCorto, &QComboBox::activated, this, &FrmMain::cmbCorto_Click);
    connect(cmbLargo, &QComboBox::activated, this, &FrmMain::cmbLargo_Click);
    connect(Actualizar, &QPushButton::clicked, this, &FrmMain::Actualizar_Click);
    connect(Grabo, &QToolButton::clicked, this, &FrmMain::Grabo_Click);
    connect(salir, &QToolButton::clicked, this, &FrmMain::salir_Click);
    connect(Opciones, &QToolButton::clicked, this, &FrmMain::Opciones_Click);
    connect(Acerca, &QToolButton::clicked, this, &FrmMain::Acerca_Click);
}

} // namespace horvex
