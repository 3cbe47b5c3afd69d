#include "ui/frm_ini.h"

#include "ui/look.h"

#include <QGroupBox>
#include <QLabel>

namespace horvex {

FrmIni::FrmIni()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmIni"));
    setFont(windowFont());
    setFixedSize(px(2460), px(1230));

    auto* Frame1 = new QGroupBox(QStringLiteral("Aviso"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipRect(60, 60, 2235, 1035));
    auto* Label1 = new QLabel(QStringLiteral("Cargando ..."), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipRect(480, 420, 1155, 315));

    centerOnScreen(*this);
}

} // namespace horvex
