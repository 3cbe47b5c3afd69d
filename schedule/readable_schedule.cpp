#include "schedule/readable_schedule.h"

#include "schedule/ini_document.h"
#include "schedule/lists.h"
#include "schedule/quoted.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <variant>

namespace horvex {

namespace {

const QString kLong = QStringLiteral("largo");
const QString kShort = QStringLiteral("corto");

struct Bell {
    QString hour;
    QString minute;
    QString check;
    QString time() const { return hour + QLatin1Char(':') + minute; }
};

// "HH:MM", "HH:MM largo" or "HH:MM corto": the bell, or what is wrong.
std::variant<Bell, QString> parseBell(const QString& text) {
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList words = text.split(space, Qt::SkipEmptyParts);
    const QStringList time = words.value(0).split(QLatin1Char(':'));
    if (time.size() != 2)
        return QStringLiteral("%1 no es una hora HH:MM").arg(quoted(text));
    if (!kHourList.offers(time[0]))
        return QStringLiteral("hora %1 (%2)").arg(quoted(time[0]), kHourList.offeredText());
    if (!kMinuteList.offers(time[1]))
        return QStringLiteral("minuto %1 (%2)").arg(quoted(time[1]), kMinuteList.offeredText());
    const QString ring = words.mid(1).join(QLatin1Char(' '));
    const bool isLong = ring.compare(kLong, Qt::CaseInsensitive) == 0;
    if (!ring.isEmpty() && !isLong && ring.compare(kShort, Qt::CaseInsensitive) != 0)
        return QStringLiteral("%1 tras la hora: se espera «largo» o nada").arg(quoted(ring));
    return Bell{time[0], time[1], isLong ? QStringLiteral("1") : QStringLiteral("0")};
}

bool isHeader(const QString& trimmed) {
    return trimmed.startsWith(QLatin1Char('['));
}

bool isTimbres(const QString& trimmed) {
    return trimmed.compare(QLatin1String("[Timbres]"), Qt::CaseInsensitive) == 0;
}

// Reads the lines in order; bells without a slot are placed at the end.
class Reader {
public:
    ParsedSchedule take(const QStringList& lines) {
        out_.readable = true;
        for (std::size_t i = 0; i < kSlots; ++i)
            place(i, {kUnsetHour, kUnsetMinute, QStringLiteral("0")});
        out_.texts.shortRing = kDefaultShortRing;
        out_.texts.longRing = kDefaultLongRing;
        for (int n = 1; n <= lines.size(); ++n)
            read(n, lines[n - 1]);
        fillFreeSlots();
        findRepeatedBells();
        for (const auto& [key, line] : {std::pair(kShort, shortLine_), std::pair(kLong, longLine_)})
            if (line == 0)
                problem(0,
                        QStringLiteral("falta %1=NN (la duración del timbre %1, de %2 a %3)")
                            .arg(key, kRingList.entry(0), kRingList.entry(kRingList.count() - 1)));
        // In the order of the lines; what is missing last.
        const auto order = [](const LineProblem& p) { return p.line > 0 ? p.line : INT_MAX; };
        std::stable_sort(
            out_.problems.begin(), out_.problems.end(),
            [&](const LineProblem& a, const LineProblem& b) { return order(a) < order(b); });
        return std::move(out_);
    }

private:
    void problem(int line, const QString& text) { out_.problems.push_back({line, text}); }

    void place(std::size_t slot, const Bell& bell) {
        out_.texts.hour[slot] = bell.hour;
        out_.texts.minute[slot] = bell.minute;
        out_.texts.check[slot] = bell.check;
    }

    void read(int n, const QString& line) {
        if (line.isEmpty())
            return;
        if (isHeader(line)) {
            inSection_ = isTimbres(line);
            seenHeader_ = true;
            if (!inSection_)
                problem(n, QStringLiteral("sección %1 desconocida: un horario solo tiene [Timbres]")
                               .arg(shown(line)));
            return;
        }
        if (!inSection_) {
            if (!seenHeader_) // under an unknown section, its header was named
                problem(n, QStringLiteral("%1 antes de [Timbres]").arg(quoted(line)));
            return;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            return readBell(n, line, std::nullopt);
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key.compare(kShort, Qt::CaseInsensitive) == 0)
            return readRing(n, kShort, value, shortLine_, out_.texts.shortRing);
        if (key.compare(kLong, Qt::CaseInsensitive) == 0)
            return readRing(n, kLong, value, longLine_, out_.texts.longRing);
        static const QRegularExpression slotKey(QStringLiteral("^[Hh](\\d{1,2})$"));
        const QRegularExpressionMatch m = slotKey.match(key);
        if (!m.hasMatch())
            return problem(
                n,
                QStringLiteral("%1: se espera corto=, largo=, Hnn= o una hora").arg(quoted(key)));
        const int slot = m.captured(1).toInt();
        if (slot >= kSlots)
            return problem(n, QStringLiteral("%1: las ranuras van de H00 a H%2")
                                  .arg(quoted(key))
                                  .arg(kSlots - 1));
        readBell(n, value, static_cast<std::size_t>(slot));
    }

    void readRing(int n, const QString& key, const QString& value, int& seenAt, QString& ring) {
        if (seenAt > 0)
            return problem(n,
                           QStringLiteral("%1 repetido (ya en la línea %2)").arg(key).arg(seenAt));
        seenAt = n;
        if (!kRingList.offers(value))
            return problem(
                n, QStringLiteral("%1: %2 (%3)").arg(key, quoted(value), kRingList.offeredText()));
        ring = value;
    }

    void readBell(int n, const QString& text, std::optional<std::size_t> slot) {
        const auto parsed = parseBell(text);
        if (const QString* wrong = std::get_if<QString>(&parsed))
            return problem(n, *wrong);
        const Bell& bell = std::get<Bell>(parsed);
        // The clock reads hour 24 as a slot not in use: such a line would
        // take a slot and never ring. "H05=24:00" says so on purpose.
        if (!slot && bell.hour == kUnsetHour)
            return problem(
                n, QStringLiteral("%1 no es un timbre: la hora 24 marca una ranura sin usar")
                       .arg(bell.time()));
        if (!slot) {
            unpinned_.push_back({n, bell});
            return;
        }
        if (const int at = pinnedAt_[*slot]; at > 0)
            return problem(
                n, QStringLiteral("%1 repetida (ya en la línea %2)").arg(slotName(*slot)).arg(at));
        pinnedAt_[*slot] = n;
        place(*slot, bell);
        read_.push_back({n, bell});
    }

    void fillFreeSlots() {
        std::size_t next = 0;
        for (const auto& [n, bell] : unpinned_) {
            while (next < kSlots && pinnedAt_[next] > 0)
                ++next;
            if (next == kSlots) {
                problem(n,
                        QStringLiteral("no queda ranura libre: un horario tiene %1").arg(kSlots));
                continue;
            }
            pinnedAt_[next] = n;
            place(next++, bell);
            read_.push_back({n, bell});
        }
    }

    // Two lines at one time are named, whatever their slots and rings.
    void findRepeatedBells() {
        std::sort(read_.begin(), read_.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        QHash<QString, int> first;
        for (const auto& [n, bell] : read_) {
            if (bell.hour == kUnsetHour)
                continue;
            const int at = first.value(bell.time());
            if (at > 0)
                problem(n,
                        QStringLiteral("%1 repetido (ya en la línea %2)").arg(bell.time()).arg(at));
            else
                first.insert(bell.time(), n);
        }
    }

    ParsedSchedule out_;
    bool inSection_ = false;
    bool seenHeader_ = false;
    int shortLine_ = 0;
    int longLine_ = 0;
    std::array<int, kSlots> pinnedAt_{};
    std::vector<std::pair<int, Bell>> unpinned_;
    std::vector<std::pair<int, Bell>> read_;
};

} // namespace

bool isReadableSchedule(const QByteArray& bytes) {
    const QStringList lines = contentLines(bytes);
    return std::any_of(lines.cbegin(), lines.cend(), isTimbres);
}

ParsedSchedule parseReadableSchedule(const QByteArray& bytes) {
    return Reader().take(contentLines(bytes));
}

QStringList readableHeader() {
    return {
        QStringLiteral("; Horario de Horvex. Se cambia en la ventana «Calendario de timbres»"),
        QStringLiteral("; (botón «Editar…» junto al horario), o aquí: un timbre por línea,"),
        QStringLiteral("; «HH:MM» o «HH:MM largo»; «H05=» fija la ranura H05."),
    };
}

bool isOldHeader(const QStringList& comments) {
    return comments ==
           QStringList{
               QStringLiteral("; Horario de Horvex: un timbre por línea, «HH:MM» o «HH:MM largo»;"),
               QStringLiteral("; «H05=» fija la ranura H05; las ranuras que no se nombran quedan "
                              "sin"),
               QStringLiteral("; usar. Se carga con horvex --import ARCHIVO."),
           };
}

QByteArray readableScheduleText(const ScheduleTexts& s) {
    std::vector<std::size_t> held;
    for (std::size_t i = 0; i < kSlots; ++i)
        if (s.hour[i] != kUnsetHour || s.minute[i] != kUnsetMinute ||
            s.check[i] != QLatin1String("0"))
            held.push_back(i);
    // In the order the bells ring; slots that never ring last.
    const auto order = [&](std::size_t i) {
        return std::tuple(s.hour[i] == kUnsetHour, s.hour[i].toInt(), s.minute[i].toInt(), i);
    };
    std::sort(held.begin(), held.end(),
              [&](std::size_t a, std::size_t b) { return order(a) < order(b); });

    QStringList lines = readableHeader();
    lines << QStringLiteral("[Timbres]") << kShort + QLatin1Char('=') + s.shortRing
          << kLong + QLatin1Char('=') + s.longRing;
    for (const std::size_t i : held) {
        const QString& check = s.check[i];
        const QString ring = check == QLatin1String("1")   ? QLatin1Char(' ') + kLong
                             : check == QLatin1String("0") ? QString()
                                                           : QLatin1Char(' ') + check;
        lines << QStringLiteral("%1=%2:%3%4").arg(slotName(i), s.hour[i], s.minute[i], ring);
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace horvex
