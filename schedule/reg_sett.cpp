#include "schedule/reg_sett.h"

#include "schedule/failure.h"

namespace horvex {

namespace {

using namespace names;

// A check value is a decimal number 0..255 and nothing else: no sign, no
// blanks, no empty text.
std::uint8_t toCheckValue(const QString& text, const QString& key) {
    bool digitsOnly = !text.isEmpty();
    for (const QChar c : text)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    bool ok = false;
    const uint value = digitsOnly ? text.toUInt(&ok) : 0;
    if (!ok || value > 255)
        throw Failure(QStringLiteral("Valor no válido en %1/%2: \"%3\" (se espera un número "
                                     "de 0 a 255)")
                          .arg(kAla, key, text));
    return static_cast<std::uint8_t>(value);
}

} // namespace

QString storedPort(RegStore& store) {
    return store.GetSetting(kComm, QStringLiteral("cboPort"), QStringLiteral("04"));
}

void LoadRegSett(Module1& m, RegStore& store) {
    m.TAlaCorto = store.GetSetting(kTAla, kCorto, kDefaultShortRing);
    m.known.set(Module1::kCortoValue);
    m.TAlaLargo = store.GetSetting(kTAla, kLargo, kDefaultLongRing);
    m.known.set(Module1::kLargoValue);
    m.PuertoCom = storedPort(store);
    m.known.set(Module1::kPuertoValue);
    for (std::size_t i = 0; i < kSlots; ++i) {
        m.AlaHora[i] = store.GetSetting(kHH, hourKey(i), kUnsetHour);
        m.known.set(Module1::horaValue(i));
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        m.AlaMin[i] = store.GetSetting(kMM, minuteKey(i), kUnsetMinute);
        m.known.set(Module1::minValue(i));
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        const QString key = checkKey(i);
        m.AlaChk[i] = toCheckValue(store.GetSetting(kAla, key, QStringLiteral("0")), key);
        m.known.set(Module1::chkValue(i));
    }
}

void SaveRegSett(const Module1& m, RegStore& store) {
    const auto save = [&](int value, const QString& section, const QString& key,
                          const QString& text) {
        if (m.known.test(static_cast<std::size_t>(value)))
            store.SaveSetting(section, key, text);
    };
    save(Module1::kCortoValue, kTAla, kCorto, m.TAlaCorto);
    save(Module1::kLargoValue, kTAla, kLargo, m.TAlaLargo);
    save(Module1::kPuertoValue, kComm, QStringLiteral("cboport"), m.PuertoCom);
    for (std::size_t i = 0; i < kSlots; ++i)
        save(Module1::horaValue(i), kHH, hourKey(i), m.AlaHora[i]);
    for (std::size_t i = 0; i < kSlots; ++i)
        save(Module1::minValue(i), kMM, minuteKey(i), m.AlaMin[i]);
    for (std::size_t i = 0; i < kSlots; ++i)
        save(Module1::chkValue(i), kAla, checkKey(i), QString::number(m.AlaChk[i]));
    store.flush();
}

} // namespace horvex
