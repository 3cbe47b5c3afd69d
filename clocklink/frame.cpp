#include "clocklink/frame.h"

#include "schedule/failure.h"

namespace horvex {

namespace {

constexpr char kStx = 0x02;
constexpr char kTrailer[] = "KT\r\n";
constexpr int kDigitBase = 0x30;
constexpr int kLongRing = 0x80;

// Reads one or two decimal digits as a hexadecimal number ("59" -> 0x59).
// Returns -1 when the text is anything else.
int packedDigits(QStringView digits) {
    if (digits.isEmpty() || digits.size() > 2)
        return -1;
    int value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 16 + (c.unicode() - '0');
    }
    return value;
}

char toByte(int value, const QString& field, const QString& text) {
    if (value > 0xFF)
        throw Failure(QStringLiteral("%1: \"%2\" no cabe en un byte de la trama").arg(field, text));
    return static_cast<char>(value);
}

char encodeListText(const QString& text, const QString& field, int extra = 0) {
    if (text.isEmpty())
        throw Failure(QStringLiteral("%1: ningún valor seleccionado").arg(field));
    const int packed = packedDigits(text);
    if (packed < 0)
        throw Failure(QStringLiteral("%1: \"%2\" no es un valor de dos dígitos").arg(field, text));
    return toByte(packed + kDigitBase + extra, field, text);
}

// The time-of-day texts already carry their "&H" mark.
char encodeTimeText(const QString& text, const QString& field) {
    const QLatin1String mark("&H");
    const int packed = text.startsWith(mark, Qt::CaseInsensitive)
                           ? packedDigits(QStringView(text).mid(mark.size()))
                           : -1;
    if (packed < 0)
        throw Failure(QStringLiteral("%1: \"%2\" no es un valor de hora válido").arg(field, text));
    return toByte(packed + kDigitBase, field, text);
}

// Fields are named as the operator sees them on the window ("Hora H07").
QString slotField(const char* what, char prefix, int i) {
    return QStringLiteral("%1 %2%3")
        .arg(QLatin1String(what), QString(QLatin1Char(prefix)))
        .arg(i, 2, 10, QLatin1Char('0'));
}

// The two digits a value byte was made from: 0x59 + 0x30 gives "59".
std::optional<QString> digitsOf(int byte) {
    const int packed = byte - kDigitBase;
    if (packed < 0 || packed / 16 > 9 || packed % 16 > 9)
        return std::nullopt;
    return QStringLiteral("%1%2").arg(packed / 16).arg(packed % 16);
}

} // namespace

QByteArray buildFrame(const ClockSchedule& shown, const QString& horaAct, const QString& minAct,
                      const QString& segAct) {
    QByteArray frame;
    frame.reserve(kFrameLength);
    frame.append(kStx);
    frame.append(encodeTimeText(horaAct, QStringLiteral("Hora actual (HoraAct)")));
    frame.append(encodeTimeText(minAct, QStringLiteral("Minuto actual (MinAct)")));
    frame.append(encodeTimeText(segAct, QStringLiteral("Segundo actual (SegAct)")));
    for (int i = 0; i < kSlots; ++i) {
        const AlarmSlot& slot = shown.alarms[static_cast<std::size_t>(i)];
        const int flag = slot.check == 1 ? kLongRing : 0;
        frame.append(encodeListText(slot.hour, slotField("Hora", 'H', i), flag));
        frame.append(encodeListText(slot.minute, slotField("Minuto", 'M', i)));
    }
    frame.append(encodeListText(shown.shortRing, QStringLiteral("Tiempo Alarma Corto")));
    frame.append(encodeListText(shown.longRing, QStringLiteral("Tiempo Alarma Largo")));
    frame.append(kTrailer);
    return frame;
}

std::optional<ClockSchedule> scheduleOfFrame(const QByteArray& frame) {
    if (frame.size() != kFrameLength || frame.front() != kStx || !frame.endsWith(kTrailer))
        return std::nullopt;
    const auto byte = [&](int at) { return static_cast<unsigned char>(frame[at]); };
    ClockSchedule s;
    for (int i = 0; i < kSlots; ++i) {
        const int hour = byte(kSlotsAt + 2 * i);
        const auto h = digitsOf(hour & ~kLongRing);
        const auto m = digitsOf(byte(kSlotsAt + 2 * i + 1));
        if (!h || !m)
            return std::nullopt;
        s.alarms[static_cast<std::size_t>(i)] = {*h, *m, (hour & kLongRing) != 0 ? 1 : 0};
    }
    const auto shortRing = digitsOf(byte(kRingsAt));
    const auto longRing = digitsOf(byte(kRingsAt + 1));
    if (!shortRing || !longRing)
        return std::nullopt;
    s.shortRing = *shortRing;
    s.longRing = *longRing;
    return s;
}

void PrepararDatos(Module1& m, const ClockSchedule& shown) {
    m.DatosTx.clear();
    m.DatosTx = buildFrame(shown, m.HoraAct, m.MinAct, m.SegAct);
}

} // namespace horvex
