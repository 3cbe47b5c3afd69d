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

    QGroupBox* Frame1 = makeFrame(QStringLiteral("Aviso"), this, twipRect(60, 60, 2235, 1035),
                                  QStringLiteral("Frame1"));
    makeLabel(QStringLiteral("Cargando ..."), Frame1, twipRect(480, 420, 1155, 315),
              QStringLiteral("Label1"));

    centerOnScreen(*this);
}

} // namespace horvex
