#include "calendar/day_colours.h"

#include <array>

namespace horvex {

namespace {

constexpr quint32 kGuardadoColour = 0xb6d7a8;
constexpr quint32 kSilencioColour = 0xc8c8c8;
constexpr quint32 kLibreColour = 0xe6d5bc; // sand: an empty school
constexpr std::array<quint32, 8> kFileColours{0x9fc5e8, 0xffd966, 0xd5a6bd, 0xf9cb9c,
                                              0xa2d4d9, 0xb4a7d6, 0xe6b8af, 0xdde08a};

} // namespace

void DayColours::meet(const std::vector<DayValue>& values) {
    for (const DayValue& v : values)
        if (!order_.contains(v.name()))
            order_ << v.name();
}

quint32 DayColours::of(const DayValue& value) const {
    switch (value.kind) {
    case DayValue::Kind::Guardado:
        return kGuardadoColour;
    case DayValue::Kind::Silencio:
        return kSilencioColour;
    case DayValue::Kind::Libre:
        return kLibreColour;
    case DayValue::Kind::File:
        break;
    }
    qsizetype n = 0;
    for (const QString& name : order_) {
        if (name == value.file)
            break;
        n += dayValueNamed(name).kind == DayValue::Kind::File ? 1 : 0;
    }
    return kFileColours[static_cast<std::size_t>(n) % kFileColours.size()];
}

} // namespace horvex
