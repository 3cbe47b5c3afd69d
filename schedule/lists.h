#pragma once

#include <QString>

namespace horvex {

// What the window's lists offer: two-digit texts from first to last.
struct ListRange {
    int first;
    int last;

    int count() const { return last - first + 1; }
    QString entry(int row) const {
        return QStringLiteral("%1").arg(first + row, 2, 10, QLatin1Char('0'));
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
