#include "schedule/schedule_file.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/lists.h"
#include "schedule/quoted.h"
#include "schedule/readable_schedule.h"
#include "schedule/reg_sett.h"
#include "schedule/reg_store.h"

#include <QSet>
#include <functional>

namespace horvex {

namespace {

using namespace names;

// One value of the schedule: where it lives, what a fresh store holds, and
// what a good text is.
struct Value {
    QString section;
    QString key;
    QString fallback;
    std::function<bool(const QString&)> good;
    QString expected;
    QString* text;
};

bool isFlag(const QString& text) {
    return text == QLatin1String("0") || text == QLatin1String("1");
}

// The 110 values in store order, each bound to its place in `s`.
std::vector<Value> valuesOf(ScheduleTexts& s) {
    const auto offered = [](ListRange list) {
        return std::pair([list](const QString& t) { return list.offers(t); }, list.offeredText());
    };
    const auto [ring, ringRange] = offered(kRingList);
    const auto [hour, hourRange] = offered(kHourList);
    const auto [minute, minuteRange] = offered(kMinuteList);
    std::vector<Value> v{
        {kTAla, kCorto, kDefaultShortRing, ring, ringRange, &s.shortRing},
        {kTAla, kLargo, kDefaultLongRing, ring, ringRange, &s.longRing},
    };
    for (std::size_t i = 0; i < kSlots; ++i)
        v.push_back({kHH, hourKey(i), kUnsetHour, hour, hourRange, &s.hour[i]});
    for (std::size_t i = 0; i < kSlots; ++i)
        v.push_back({kMM, minuteKey(i), kUnsetMinute, minute, minuteRange, &s.minute[i]});
    for (std::size_t i = 0; i < kSlots; ++i)
        v.push_back({kAla, checkKey(i), QStringLiteral("0"), isFlag,
                     QStringLiteral("se espera 0 o 1"), &s.check[i]});
    return v;
}

const QStringList& sections() {
    static const QStringList all{kTAla, kHH, kMM, kAla};
    return all;
}

} // namespace

ScheduleTexts scheduleTexts(const IniDocument& doc) {
    ScheduleTexts s;
    for (Value& v : valuesOf(s))
        *v.text = doc.value(v.section, v.key).value_or(v.fallback);
    return s;
}

QStringList scheduleProblems(const IniDocument& doc, bool complete) {
    ScheduleTexts unused;
    const std::vector<Value> values = valuesOf(unused);
    bool anyKey = false;
    for (const QString& section : sections())
        anyKey = anyKey || !doc.keys(section).isEmpty();
    if (complete && !anyKey)
        return {QStringLiteral("no tiene la sección [Timbres] de un horario (ni las secciones "
                               "TAla, HH, MM y ALA de la forma antigua)")};

    QStringList problems;
    QStringList missing;
    QSet<QString> known;
    for (const Value& v : values) {
        const QString name = v.section + QLatin1Char('/') + v.key;
        known.insert(name.toLower());
        const std::optional<QString> text = doc.value(v.section, v.key);
        if (!text)
            missing << name;
        else if (!v.good(*text))
            problems << QStringLiteral("%1: %2 (%3)").arg(name, quoted(*text), v.expected);
    }
    // One line for what is missing: a cut-off file lacks dozens of values.
    if (complete && !missing.isEmpty())
        problems << QStringLiteral("%1: %2 %3 de los %4 valores; un horario los lleva todos "
                                   "(horvex --export escribe uno completo)")
                        .arg(missing.size() > 3 ? missing.mid(0, 3).join(QStringLiteral(", ")) +
                                                      QStringLiteral(", …")
                                                : missing.join(QStringLiteral(", ")),
                             missing.size() == 1 ? QStringLiteral("falta")
                                                 : QStringLiteral("faltan"))
                        .arg(missing.size())
                        .arg(values.size());
    for (const QString& section : sections())
        for (const QString& key : doc.keys(section))
            if (!known.contains((section + QLatin1Char('/') + key).toLower()))
                problems << QStringLiteral("%1/%2: clave desconocida").arg(section, shown(key));
    return problems;
}

QString LineProblem::toString() const {
    return line > 0 ? QStringLiteral("línea %1: %2").arg(line).arg(text) : text;
}

ParsedSchedule parseSchedule(const QByteArray& bytes, bool complete) {
    if (isReadableSchedule(bytes))
        return parseReadableSchedule(bytes);
    const IniDocument doc = IniDocument::parse(bytes);
    ParsedSchedule parsed{scheduleTexts(doc), {}, false};
    for (const QString& problem : scheduleProblems(doc, complete))
        parsed.problems.push_back({0, problem});
    return parsed;
}

bool holdsSchedule(const QByteArray& bytes) {
    return isReadableSchedule(bytes) || !IniDocument::parse(bytes).keys(kHH).isEmpty();
}

ParsedSchedule readSchedule(const QString& file, bool complete) {
    return parseSchedule(readExisting(file, kStoreLimit), complete);
}

ScheduleTexts readScheduleTexts(const QString& file) {
    const ParsedSchedule parsed = readSchedule(file, true);
    if (parsed.problems.empty())
        return parsed.texts;
    QStringList lines;
    for (const LineProblem& p : parsed.problems)
        lines << p.toString();
    throw Failure(QStringLiteral("%1 no es un horario válido:\n  %2")
                      .arg(file, lines.join(QStringLiteral("\n  "))));
}

ClockSchedule clockSchedule(const ScheduleTexts& s) {
    ClockSchedule schedule;
    schedule.shortRing = s.shortRing;
    schedule.longRing = s.longRing;
    for (std::size_t i = 0; i < kSlots; ++i)
        schedule.alarms[i] = {s.hour[i], s.minute[i], s.check[i] == QLatin1String("1") ? 1 : 0};
    return schedule;
}

ClockSchedule readScheduleFile(const QString& file) {
    return clockSchedule(readScheduleTexts(file));
}

void setSchedule(IniDocument& doc, const ScheduleTexts& schedule) {
    ScheduleTexts copy = schedule;
    for (const Value& v : valuesOf(copy))
        doc.setValue(v.section, v.key, *v.text);
}

void putSchedule(IniDocument& doc, const ScheduleTexts& schedule) {
    for (const QString& section : sections())
        for (const QString& key : doc.keys(section))
            doc.remove(section, key);
    setSchedule(doc, schedule);
}

} // namespace horvex
