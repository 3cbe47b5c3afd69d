#include "clocklink/upload.h"

#include "clocklink/frame.h"
#include "clocklink/puerto.h"
#include "clocklink/sender.h"
#include "clocklink/signal_hold.h"
#include "schedule/failure.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace horvex {

namespace {

bool isEmpty(const ClockSchedule& shown) {
    return shown.shortRing.isEmpty() && shown.longRing.isEmpty() &&
           std::all_of(shown.alarms.cbegin(), shown.alarms.cend(),
                       [](const AlarmSlot& a) { return a.hour.isEmpty() && a.minute.isEmpty(); });
}

} // namespace

UploadCommand::UploadCommand(Module1& m, MSComm1& port, StatusLine& status, MessageBox& box,
                             Pause& pause, ShownSchedule shown, Recorder record)
    : m_(m)
    , port_(port)
    , status_(status)
    , box_(box)
    , pause_(pause)
    , shown_(std::move(shown))
    , record_(std::move(record)) {}

void UploadCommand::Actualizar_Click() {
    // The pauses pump events, so the button can be pressed again mid-upload;
    // a second frame must never interleave with the first on the line.
    if (running_)
        return;
    const RunningFlag flag(running_);
    // Start-up stopped before the lists were filled: say so now, not after
    // the pauses as a value missing from the first list.
    if (isEmpty(shown_())) {
        box_.critical(QStringLiteral("Fallo Inicializacion de Puerto!"),
                      QStringLiteral("Error: no se cargó ningún horario, así que no hay nada que "
                                     "enviar: Horvex se detuvo al iniciarse, en el error que "
                                     "mostró entonces.\r\n\r\nCorrija ese error y vuelva a abrir "
                                     "Horvex; el horario guardado sigue intacto. Para el puerto, "
                                     "horvex --list-ports muestra los puertos de este equipo y la "
                                     "orden --map-port que asigna uno."));
        status_.setPanelText(1, QStringLiteral("Error de Puerto Serie ..."));
        return;
    }
    QString unrecorded;
    bool failed = false;
    try {
        status_.setPanelText(1, QStringLiteral("Conecte el Reloj y verifique que se encuentra "
                                               "encendido"));
        pause_.Tiempo(2);
        status_.setPanelText(1, QStringLiteral("Preparando datos ..."));
        pause_.Tiempo(2);
        try {
            // Read what the window shows only now: the clock display has just
            // had its chance to refresh the time of day.
            PrepararDatos(m_, shown_());
        } catch (const Failure& failure) {
            unrecorded = record(UploadRecord::newId(), false, &failure);
            throw;
        }
        status_.setPanelText(1, QStringLiteral("Transmitiendo datos al RELOJ ..."));
        sendRecorded(unrecorded);
        pause_.Tiempo(1);
        status_.setPanelText(1, QStringLiteral("--- Debe responder el reloj con un beep ---"));
        pause_.Tiempo(2);
        status_.setPanelText(1, QString());
    } catch (const Failure& failure) {
        failed = true;
        ErrorPuerto(failure.description(), box_, status_);
    }
    if (unrecorded.isEmpty())
        return;
    unrecorded[0] = unrecorded[0].toUpper();
    status_.setPanelText(
        1, failed ? QStringLiteral("Error de Puerto Serie ... (%1)").arg(unrecorded) : unrecorded);
}

void UploadCommand::sendRecorded(QString& unrecorded) {
    // Commands wait from here: the line may first have to be waited for,
    // while a timed upload has it.
    const FrameGate::Sending sending(gate_);
    const QString id = UploadRecord::newId();
    std::optional<MSComm1::Line> line;
    try {
        line.emplace(port_);
    } catch (const Failure& failure) {
        unrecorded = record(id, false, &failure);
        throw;
    }
    // A logout or a stop during the frame waits for the last character and
    // the closing line, then ends the program as it asked.
    const SignalHold hold;
    unrecorded = record(id, true, nullptr);
    try {
        saco_RS232();
    } catch (const Failure& failure) {
        const QString why = record(id, false, &failure);
        unrecorded = unrecorded.isEmpty() ? why : unrecorded;
        throw;
    }
    const QString why = record(id, false, nullptr);
    unrecorded = unrecorded.isEmpty() ? why : unrecorded;
}

QString UploadCommand::record(const QString& id, bool opening, const Failure* failure) const {
    if (!record_)
        return {};
    UploadOutcome outcome;
    outcome.origin = QStringLiteral("ventana");
    outcome.port = port_.CommPort();
    outcome.device = port_.deviceFor(outcome.port);
    outcome.frame = m_.DatosTx;
    outcome.id = id;
    outcome.opening = opening;
    if (failure != nullptr) {
        outcome.reason = failure->description();
        const auto* cut = dynamic_cast<const FrameCut*>(failure);
        outcome.sent = cut != nullptr ? cut->sent() : 0;
    } else {
        outcome.sent = static_cast<int>(m_.DatosTx.size());
    }
    try {
        record_(outcome);
        return {};
    } catch (const Failure& failure) {
        return failure.description();
    }
}

void UploadCommand::saco_RS232() {
    m_.LargoTx = QString::number(m_.DatosTx.size());
    const FrameGate::Sending sending(gate_);
    const MSComm1::Line line(port_);
    sendPaced(m_.DatosTx, m_.LargoTx.toInt(), port_, pause_);
}

} // namespace horvex
