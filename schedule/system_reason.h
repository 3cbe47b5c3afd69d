#pragma once

#include <QString>

namespace horvex {

// The system's reason for the last failed call, in our own Spanish
// ("no queda espacio en el disco"), to follow "no se puede leer X: ".
QString systemReason();

// The same for a given errno value. One that has no sentence of ours is
// still said in Spanish, with its number: "fallo del sistema (error 134)".
QString systemReason(int error);

} // namespace horvex
