#pragma once

#include <QString>

namespace horvex {

// "07": how the lists, the clock display and the slot names write a number.
inline QString twoDigitText(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// "07:30" for an alarm's hour and minute texts, as the clock reads them
// ("7" is sent as 07); a text that is not a number stays as it is.
inline QString timeText(const QString& hour, const QString& minute) {
    const auto two = [](const QString& text) {
        bool ok = false;
        const int n = text.toInt(&ok);
        return ok && n >= 0 && text.size() <= 2 ? twoDigitText(n) : text;
    };
    return two(hour) + QLatin1Char(':') + two(minute);
}

// What the window's lists offer: two-digit texts from first to last.
struct ListRange {
    int first;
    int last;

    int count() const { return last - first + 1; }
    QString entry(int row) const { return twoDigitText(first + row); }
    // "la lista ofrece 00 a 24", for a text the list does not offer.
    QString offeredText() const {
        return QStringLiteral("la lista ofrece %1 a %2").arg(entry(0), entry(count() - 1));
    }
    // Whether the list offers exactly this text ("07" yes, "7" no).
    bool offers(const QString& text) const {
        bool ok = false;
        const int n = text.toInt(&ok);
        return ok && text.size() == 2 && text.at(0).isDigit() && n >= first && n <= last;
    }
};

inline constexpr ListRange kHourList{0, 24};
inline constexpr ListRange kMinuteList{0, 60};
inline constexpr ListRange kRingList{1, 15};

} // namespace horvex
