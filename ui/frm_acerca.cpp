#include "ui/frm_acerca.h"

#include "ui/icons.h"
#include "ui/look.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace horvex {

FrmAcerca::FrmAcerca(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAcerca"));
    setWindowTitle(QStringLiteral("Acerca de"));
    setWindowIcon(buttonIcon("acerca"));
    setFont(windowFont());
    setFixedSize(px(4665), px(3375));

    auto* Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipRect(480, 180, 3795, 2265));
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(QPixmap(aboutPicturePath()));

    const auto line = [this](const QString& text, const QRect& geometry, const char* name) {
        makeLabel(text, this, geometry, QLatin1String(name));
    };
    line(QStringLiteral("Vuradid Oruda d Urivoze"), twipRect(120, 2580, 1860, 240), "Label1");
    line(QStringLiteral("web: www.horvex.example"), twipRect(120, 2820, 2085, 240), "Label4");
    // Form_Load: the version line.
    line(QStringLiteral("Horvex v1.12 (c) 2011"), twipRect(120, 3060, 2265, 240), "Label3");

    auto* salir = new QPushButton(QStringLiteral("OK"), this);
    salir->setObjectName(QStringLiteral("salir"));
    salir->setGeometry(twipRect(2400, 2700, 735, 495));
    salir->setAutoDefault(false);
    salir->setDefault(false);
    connect(salir, &QPushButton::clicked, this, &QDialog::accept);
    salir->setFocus();
    pressButtonsOnEnter(*this);
    centerOnScreen(*this);
}

void FrmAcerca::keyPressEvent(QKeyEvent* event) {
    if (!swallowDialogKeys(*event))
        QDialog::keyPressEvent(event);
}

} // namespace horvex
