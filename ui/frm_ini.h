#pragma once

#include <QWidget>

namespace horvex {

// The borderless "Cargando ..." notice shown while the program starts.
class FrmIni : public QWidget {
    Q_OBJECT
public:
    FrmIni();
};

} // namespace horvex
