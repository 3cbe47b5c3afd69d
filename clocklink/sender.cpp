#include "clocklink/sender.h"

#include "clocklink/realtime.h"

namespace horvex {

namespace {

constexpr double kCharacterPause = 0.01;

QString cutText(const QString& reason, int sent, int count) {
    return QStringLiteral("%1 (envío interrumpido: enviados %2 de %3 caracteres)")
        .arg(reason)
        .arg(sent)
        .arg(count);
}

} // namespace

FrameCut::FrameCut(const QString& reason, int sent, int count)
    : Failure(cutText(reason, sent, count))
    , sent_(sent) {}

void sendPaced(const QByteArray& data, int count, MSComm1& port, Pause& pause) {
    if (count > 0 && !port.PortOpen())
        throw Failure(QStringLiteral("COM%1 no está abierto: no se ha enviado nada al reloj")
                          .arg(port.CommPort()));
    const RealtimeSend priority;
    for (int i = 0; i < count; ++i) {
        if (i >= data.size())
            throw FrameCut(QStringLiteral("La trama cambió durante el envío"), i, count);
        const Pause::Clock::time_point writeStart = Pause::Clock::now();
        try {
            port.Output(data.at(i));
        } catch (const Failure& failure) {
            throw FrameCut(failure.description(), i, count);
        }
        pause.TiempoDesde(writeStart, kCharacterPause);
    }
}

} // namespace horvex
