// The calendar window's .ics by address: their copies fetched again when
// the window opens (those older than 6 hours) and when asked.
#include "calendar/fetch.h"
#include "calendar/subscription.h"
#include "ui/frm_calendario.h"

namespace horvex {

void FrmCalendario::setUpFetch() {
    fetch_ = new CalendarFetch(this);
    connect(fetch_, &CalendarFetch::finished, this, [this] {
        draft_.recalculate();
        showCalendar();
        const QString copies = copiesText(draft_.calendar().copies(), services_.now());
        say(copies.isEmpty() ? QStringLiteral("No se pudo descargar ningún calendario .ics por "
                                              "dirección: el motivo está en Problemas.")
                             : QStringLiteral("Calendarios .ics por dirección revisados: %1; lo "
                                              "que falló está en Problemas.")
                                   .arg(copies));
    });
    // A copy older than 6 hours is asked again at opening.
    refreshCopies(FetchWhen::IfDue);
}

void FrmCalendario::refreshCopies(FetchWhen when) {
    QStringList addresses;
    for (const CalendarRule& rule : draft_.calendar().rules())
        if (rule.kind == CalendarRule::Kind::Calendar && isAddress(rule.key))
            addresses << rule.key;
    if (fetch_->running())
        return;
    if (fetch_->start(addresses, when))
        say(QStringLiteral("Descargando los calendarios .ics por dirección…"));
    else if (when == FetchWhen::Now)
        say(QStringLiteral("Ningún calendario .ics es una dirección: no hay nada que descargar."));
}

} // namespace horvex
