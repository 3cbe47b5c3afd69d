#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace horvex {

// A window with unsaved changes asked to close: "Guardar", "Descartar" or
// "Cancelar". Whether it may close: not when cancelled, nor when saving
// left changes unsaved (the save said why).
bool mayCloseUnsaved(QWidget* window, const QString& title, const QString& question,
                     const std::function<void()>& save, const std::function<bool()>& unsaved);

} // namespace horvex
