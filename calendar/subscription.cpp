#include "calendar/subscription.h"

#include "calendar/calendar_rules.h"
#include "calendar/rolling_day.h"
#include "schedule/counted.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/reg_store.h"
#include "schedule/xdg.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace horvex {

namespace {

// A copy is its header lines, an empty line, then the calendar as it came.
constexpr qint64 kCopyLimit = kIcsLimit + 64 * 1024;
const QByteArray kHeaderEnd = "\n\n";

// The file name of an origin's copy: readable (the server or file it comes
// from), and unique by a hash of the whole origin.
QString baseName(const QString& origin) {
    const QByteArray hash = QCryptographicHash::hash(origin.toUtf8(), QCryptographicHash::Sha256);
    QString readable = isAddress(origin)
                           ? QUrl(origin).host() + QLatin1Char('-') + QUrl(origin).fileName()
                           : QFileInfo(origin).fileName();
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    readable.replace(unsafe, QStringLiteral("_"));
    return QDir(copies::folder())
        .filePath(readable.left(60) + QLatin1Char('-') + QString::fromLatin1(hash.toHex().left(8)));
}

// "clave=valor" lines, as the copies' headers and attempts are written.
QHash<QString, QString> fieldsOf(const QByteArray& text) {
    QHash<QString, QString> fields;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0)
            fields.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return fields;
}

QByteArray fieldsText(const std::vector<std::pair<QString, QString>>& fields) {
    QByteArray text;
    for (const auto& [key, value] : fields) {
        // A server's ETag is its own text: no line breaks get into ours.
        static const QRegularExpression control(QStringLiteral("[\\x00-\\x1f]"));
        QString clean = value;
        clean.replace(control, QStringLiteral(" "));
        text += (key + QLatin1Char('=') + clean).toUtf8() + '\n';
    }
    return text;
}

QString isoText(const QDateTime& t) {
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

// A copy or an attempt that cannot be read (or no cache folder at all) is
// as if there were none.
std::optional<QByteArray> readQuietly(const QString& origin, const QString& suffix) {
    try {
        const QByteArray text = readGuarded(baseName(origin) + suffix, kCopyLimit);
        return text.isEmpty() ? std::nullopt : std::optional(text);
    } catch (const Failure&) {
        return std::nullopt;
    }
}

// How long ago, in words: "hace 5 días", "hace 3 horas", "hace un momento".
QString agoText(qint64 secs) {
    const auto unit = [](qint64 n, const char* one, const char* many) {
        return QStringLiteral("hace ") +
               counted(n, QString::fromUtf8(one), QString::fromUtf8(many));
    };
    if (secs >= 86400)
        return unit(secs / 86400, "día", "días");
    if (secs >= 3600)
        return unit(secs / 3600, "hora", "horas");
    if (secs >= 60)
        return unit(secs / 60, "minuto", "minutos");
    return QStringLiteral("hace un momento");
}

bool hasErrors(const IcsCalendar& ics) {
    return std::any_of(ics.notes().begin(), ics.notes().end(),
                       [](const IcsNote& n) { return !n.warning; });
}

void addNotes(IcsSource& out, const QString& file, const IcsCalendar& ics) {
    for (const IcsNote& n : ics.notes())
        out.notes.push_back({file, n.line, n.text, n.warning});
}

// The calendar read from `copy`, its notes under `file`.
void useCopy(IcsSource& out, const QString& key, const QString& file, const CalendarCopy& copy,
             bool standsIn) {
    const IcsCalendar ics = IcsCalendar::parse(copy.body);
    out.size = copy.body.size();
    addNotes(out, file, ics);
    out.ics = ics;
    out.copy = CopyUse{key, copy.fetched, copy.digest(), standsIn};
}

// The copy of an address, its age and its last failed fetch as warnings.
IcsSource readAddress(const QString& key, const QDateTime& now) {
    IcsSource out;
    const QString origin = addressUrl(key).toString();
    if (isPlainHttp(key))
        out.notes.push_back({{},
                             0,
                             QStringLiteral("%1: la dirección es http, sin cifrar: cualquiera en "
                                            "el camino puede cambiar el calendario; use https si "
                                            "el servidor lo permite")
                                 .arg(key),
                             true});
    const std::optional<CalendarCopy> copy = copies::read(origin);
    const std::optional<FetchAttempt> attempt = copies::lastAttempt(origin);
    const bool failed =
        attempt && !attempt->failure.isEmpty() && (!copy || attempt->at >= copy->fetched);
    if (!copy) {
        out.notes.push_back(
            {{},
             0,
             failed ? QStringLiteral("%1: no hay copia y no se pudo descargar: %2")
                          .arg(key, attempt->failure)
                    : QStringLiteral("%1: aún no se ha descargado (lo descargan horvex --check y "
                                     "«Actualizar» en la ventana del calendario)")
                          .arg(key),
             false});
        return out;
    }
    useCopy(out, key, key, *copy, false);
    const QString age = copyAgeText(copy->fetched, now);
    if (failed)
        out.notes.push_back(
            {{},
             0,
             QStringLiteral("%1: no se pudo actualizar el %2: %3; se usa la %4")
                 .arg(key, momentText(attempt->at.toLocalTime()), attempt->failure, age),
             true});
    if (copy->fetched.secsTo(now) > qint64(kStaleDays) * 86400)
        out.notes.push_back({{},
                             0,
                             QStringLiteral("%1: la copia tiene más de %2 días (%3): el calendario "
                                            "publicado puede haber cambiado")
                                 .arg(key)
                                 .arg(kStaleDays)
                                 .arg(age),
                             true});
    return out;
}

// A local file, kept when it reads without errors; its copy stands in when
// it cannot be read at all.
IcsSource readLocal(const QString& key, const QString& path, const QDateTime& now) {
    IcsSource out;
    const QString origin = QFileInfo(path).absoluteFilePath();
    QByteArray bytes;
    try {
        bytes = readExisting(path, kIcsLimit);
    } catch (const Failure& f) {
        const std::optional<CalendarCopy> copy = copies::read(origin);
        if (!copy) {
            out.notes.push_back({{}, 0, f.description(), false});
            return out;
        }
        useCopy(out, key, path, *copy, true);
        out.notes.push_back({{},
                             0,
                             QStringLiteral("%1; en su lugar se usa su última copia buena (%2)")
                                 .arg(f.description(), copyAgeText(copy->fetched, now)),
                             true});
        return out;
    }
    const IcsCalendar ics = IcsCalendar::parse(bytes);
    out.size = bytes.size();
    addNotes(out, path, ics);
    out.ics = ics;
    if (hasErrors(ics))
        return out;
    const std::optional<CalendarCopy> copy = copies::read(origin);
    if (copy && copy->body == bytes)
        return out;
    try {
        copies::keep({origin, now, {}, {}, bytes});
    } catch (const Failure& f) {
        out.notes.push_back(
            {path, 0,
             QStringLiteral("no se pudo guardar su copia de reserva: %1").arg(f.description()),
             true});
    }
    return out;
}

} // namespace

bool isAddress(const QString& key) {
    for (const char* scheme : {"https://", "webcal://", "http://"})
        if (key.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}

QUrl addressUrl(const QString& key) {
    QUrl url(key);
    if (url.scheme().compare(QLatin1String("webcal"), Qt::CaseInsensitive) == 0)
        url.setScheme(QStringLiteral("https"));
    return url;
}

bool isPlainHttp(const QString& key) {
    return key.startsWith(QLatin1String("http://"), Qt::CaseInsensitive);
}

QStringList addressesIn(const QString& calendarFile) {
    QStringList found;
    try {
        for (const CalendarRule& rule :
             parseCalendarRules(readGuarded(calendarFile, kStoreLimit)).rules)
            if (rule.kind == CalendarRule::Kind::Calendar && isAddress(rule.key) &&
                !found.contains(rule.key))
                found << rule.key;
    } catch (const Failure&) {
        // The calendar's own reading says why.
    }
    return found;
}

QString CalendarCopy::digest() const {
    return QString::fromLatin1(
        QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex().left(8));
}

namespace copies {

QString folder() {
    return QDir(cacheHome()).filePath(QStringLiteral("Horvex"));
}

std::optional<CalendarCopy> read(const QString& origin) {
    const std::optional<QByteArray> text = readQuietly(origin, QStringLiteral(".copia"));
    const qsizetype end = text ? text->indexOf(kHeaderEnd) : -1;
    if (end < 0)
        return std::nullopt;
    const QHash<QString, QString> fields = fieldsOf(text->left(end));
    CalendarCopy copy{fields.value(QStringLiteral("origen")),
                      QDateTime::fromString(fields.value(QStringLiteral("obtenida")), Qt::ISODate),
                      fields.value(QStringLiteral("etag")),
                      fields.value(QStringLiteral("last-modified")), text->mid(end + 2)};
    // A copy cut short, or another origin's under a colliding name, is none.
    if (copy.origin != origin || !copy.fetched.isValid() ||
        copy.digest() != fields.value(QStringLiteral("sha256")).left(8))
        return std::nullopt;
    return copy;
}

void keep(const CalendarCopy& copy) {
    makeFolders(folder());
    replaceFile(baseName(copy.origin) + QStringLiteral(".copia"),
                fieldsText({{QStringLiteral("origen"), copy.origin},
                            {QStringLiteral("obtenida"), isoText(copy.fetched)},
                            {QStringLiteral("etag"), copy.etag},
                            {QStringLiteral("last-modified"), copy.lastModified},
                            {QStringLiteral("sha256"), copy.digest()}}) +
                    '\n' + copy.body);
}

std::optional<FetchAttempt> lastAttempt(const QString& origin) {
    const std::optional<QByteArray> text = readQuietly(origin, QStringLiteral(".intento"));
    if (!text)
        return std::nullopt;
    const QHash<QString, QString> fields = fieldsOf(*text);
    FetchAttempt attempt{
        QDateTime::fromString(fields.value(QStringLiteral("intento")), Qt::ISODate),
        fields.value(QStringLiteral("fallo"))};
    if (fields.value(QStringLiteral("origen")) != origin || !attempt.at.isValid())
        return std::nullopt;
    return attempt;
}

void noteAttempt(const QString& origin, const FetchAttempt& attempt) {
    makeFolders(folder());
    replaceFile(baseName(origin) + QStringLiteral(".intento"),
                fieldsText({{QStringLiteral("origen"), origin},
                            {QStringLiteral("intento"), isoText(attempt.at)},
                            {QStringLiteral("fallo"), attempt.failure}}));
}

} // namespace copies

bool fetchDue(const QString& origin, const QDateTime& now) {
    const std::optional<FetchAttempt> attempt = copies::lastAttempt(origin);
    // A clock put back makes the last attempt look future: ask again.
    if (!attempt || attempt->at > now)
        return true;
    const bool good = attempt->failure.isEmpty() && copies::read(origin);
    return attempt->at.secsTo(now) >= (good ? kFreshSecs : kRetrySecs);
}

QString copyAgeText(const QDateTime& fetched, const QDateTime& now) {
    return QStringLiteral("copia del %1, %2")
        .arg(momentText(fetched.toLocalTime()), agoText(std::max<qint64>(0, fetched.secsTo(now))));
}

QString copiesText(const std::vector<CopyUse>& used, const QDateTime& now) {
    QStringList parts;
    for (const CopyUse& u : used)
        parts << QStringLiteral("%1: %2").arg(u.key, copyAgeText(u.fetched, now));
    return parts.join(QStringLiteral("; "));
}

QString copiesRecordText(const std::vector<CopyUse>& used) {
    QStringList parts;
    for (const CopyUse& u : used)
        parts << QStringLiteral("copia de %1 del %2 (sha256 %3)")
                     .arg(u.key, u.fetched.toLocalTime().toString(Qt::ISODate), u.digest);
    return parts.join(QStringLiteral("; "));
}

IcsSource readIcsSource(const QString& key, const QString& path, const QDateTime& now) {
    return isAddress(key) ? readAddress(key, now) : readLocal(key, path, now);
}

} // namespace horvex
