#pragma once

#include "ui/frm_calendario.h"

namespace horvex {

// The calendar window's services as the program offers them: the stored
// schedule from the settings store, what the clock holds from the record of
// uploads, the timer as systemd has it. The dialogs are the window's own.
FrmCalendario::Services calendarServices();

} // namespace horvex
