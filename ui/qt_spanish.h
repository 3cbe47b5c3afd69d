#pragma once

namespace horvex {

// Qt's own words (the file dialog, the boxes' buttons: "Aceptar",
// "Cancelar") in Spanish whatever the PC's language, as every text of ours
// is: Qt's qtbase_es translation, from Qt's translations folder, installed
// on the running application. Without the file the program runs with Qt's
// English and says so once on stderr. Returns whether it was loaded.
bool speakSpanish();

} // namespace horvex
