#include "schedule/schedule_draft.h"

#include "schedule/failure.h"
#include "schedule/ini_document.h"
#include "schedule/readable_schedule.h"
#include "schedule/reg_store.h"
#include "schedule/window_lock.h"

#include <QRegularExpression>
#include <algorithm>

namespace horvex {

namespace {

const QString kLong = QStringLiteral("largo");
const QString kShort = QStringLiteral("corto");

// "08:00 largo": the time, and the ring when the last word names one; any
// other word stays with the time, so that its problem is named.
DraftBell bellOf(const QString& text, std::optional<int> slot) {
    DraftBell bell{text, false, slot};
    const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
    if (space < 0)
        return bell;
    const QString word = text.mid(space + 1);
    const bool isLong = word.compare(kLong, Qt::CaseInsensitive) == 0;
    if (isLong || word.compare(kShort, Qt::CaseInsensitive) == 0) {
        bell.time = text.left(space).trimmed();
        bell.isLong = isLong;
    }
    return bell;
}

// Reads the readable form line by line, keeping what it does not take.
class Taker {
public:
    explicit Taker(ScheduleDraft& draft, QStringList& header, QStringList& others)
        : d_(draft)
        , header_(header)
        , others_(others) {}

    void take(const QByteArray& bytes) {
        QStringList raw = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
        const QStringList content = contentLines(bytes);
        if (!raw.isEmpty() && raw[0].startsWith(QChar(0xFEFF)))
            raw[0].remove(0, 1);
        bool leading = true;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            QString line = raw[i];
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            leading = leading && content[i].isEmpty();
            if (leading)
                header_ << line;
            else
                read(line, content[i]);
        }
        while (!header_.isEmpty() && header_.last().trimmed().isEmpty())
            header_.removeLast();
        if (isOldHeader(header_))
            header_.clear();
    }

private:
    void read(const QString& line, const QString& content) {
        if (content.startsWith(QLatin1Char('['))) {
            inSection_ = content.compare(QLatin1String("[Timbres]"), Qt::CaseInsensitive) == 0;
            if (!inSection_)
                others_ << line;
            return;
        }
        if (content.isEmpty()) {
            if (!line.trimmed().isEmpty())
                others_ << line; // a comment among the bells
            return;
        }
        if (!inSection_)
            return others_ << line, void();
        const qsizetype eq = content.indexOf(QLatin1Char('='));
        if (eq < 0)
            return d_.bells.push_back(bellOf(content, std::nullopt));
        const QString key = content.left(eq).trimmed();
        const QString value = content.mid(eq + 1).trimmed();
        if (key.compare(kShort, Qt::CaseInsensitive) == 0 && !seenShort_) {
            seenShort_ = true;
            d_.shortRing = value;
            return;
        }
        if (key.compare(kLong, Qt::CaseInsensitive) == 0 && !seenLong_) {
            seenLong_ = true;
            d_.longRing = value;
            return;
        }
        static const QRegularExpression slotKey(QStringLiteral("^[Hh](\\d{1,2})$"));
        const QRegularExpressionMatch m = slotKey.match(key);
        if (m.hasMatch() && m.captured(1).toInt() < kSlots)
            return d_.bells.push_back(bellOf(value, m.captured(1).toInt()));
        others_ << line;
    }

    ScheduleDraft& d_;
    QStringList& header_;
    QStringList& others_;
    bool inSection_ = false;
    bool seenShort_ = false;
    bool seenLong_ = false;
};

} // namespace

ScheduleDraft ScheduleDraft::empty() {
    ScheduleDraft d;
    d.shortRing = kDefaultShortRing;
    d.longRing = kDefaultLongRing;
    return d;
}

ScheduleDraft ScheduleDraft::fromTexts(const ScheduleTexts& s) {
    return fromText(readableScheduleText(s));
}

ScheduleDraft ScheduleDraft::fromText(const QByteArray& bytes) {
    if (!isReadableSchedule(bytes))
        return fromText(readableScheduleText(parseSchedule(bytes, false).texts));
    ScheduleDraft d = empty();
    Taker(d, d.header_, d.others_).take(bytes);
    return d;
}

QByteArray ScheduleDraft::text() const {
    QStringList lines = header_.isEmpty() ? readableHeader() : header_;
    lines << QStringLiteral("[Timbres]") << kShort + QLatin1Char('=') + shortRing
          << kLong + QLatin1Char('=') + longRing;
    for (const DraftBell& b : bells)
        lines << (b.slot ? slotName(static_cast<std::size_t>(*b.slot)) + QLatin1Char('=')
                         : QString()) +
                     b.time + (b.isLong ? QLatin1Char(' ') + kLong : QString());
    lines << others_;
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

ParsedSchedule ScheduleDraft::parsed() const {
    return parseReadableSchedule(text());
}

bool ScheduleDraft::Problems::any() const {
    return !ofShortRing.isEmpty() || !ofLongRing.isEmpty() || !other.isEmpty() ||
           std::any_of(ofBell.begin(), ofBell.end(), [](const QString& p) { return !p.isEmpty(); });
}

ScheduleDraft::Problems ScheduleDraft::problems() const {
    Problems out;
    out.ofBell.resize(bells.size());
    // Where text() puts each line: the header, [Timbres], the two rings, the bells.
    const int shortLine =
        static_cast<int>((header_.isEmpty() ? readableHeader() : header_).size()) + 2;
    const int firstBell = shortLine + 2;
    // A bell is named by its place in the list, not by a line nobody sees.
    const auto add = [&](QString& to, QString text) {
        static const QRegularExpression line(QStringLiteral("la línea (\\d+)"));
        const QRegularExpressionMatch m = line.match(text);
        if (const int bell = m.captured(1).toInt() - firstBell;
            m.hasMatch() && bell >= 0 && bell < static_cast<int>(bells.size()))
            text.replace(m.capturedStart(), m.capturedLength(),
                         QStringLiteral("el timbre %1").arg(bell + 1));
        to += (to.isEmpty() ? QString() : QStringLiteral("; ")) + text;
    };
    for (const LineProblem& p : parsed().problems) {
        const qsizetype bell = p.line - firstBell;
        if (p.line == shortLine)
            add(out.ofShortRing, p.text);
        else if (p.line == shortLine + 1)
            add(out.ofLongRing, p.text);
        else if (bell >= 0 && bell < static_cast<qsizetype>(bells.size()))
            add(out.ofBell[static_cast<std::size_t>(bell)], p.text);
        else
            out.other << p.toString();
    }
    return out;
}

QByteArray saveOverLoaded(const QString& file, const QByteArray& loaded, const QByteArray& text,
                          MissingFolder missing) {
    return updateStoreFile(
               file,
               [&](IniDocument& doc) {
                   // Read afresh under the lock: nobody can slip in between.
                   if (doc.serialize() != loaded)
                       throw ChangedOnDisk(
                           QStringLiteral("%1 cambió en el disco desde que se abrió").arg(file));
                   doc = IniDocument::parse(text);
               },
               missing)
        .serialize();
}

void saveStoredSchedule(const QString& storeFile, const ScheduleTexts& texts) {
    // Held as --import holds it: no window opens on the store meanwhile.
    WindowLock lock(storeFile, WindowLock::Holder::Import);
    if (!lock.acquire())
        throw Failure(QStringLiteral("la ventana principal de Horvex está abierta (%1) y, al "
                                     "grabar o salir, pondría encima su horario. Ciérrela y "
                                     "vuelva a guardar, o cambie el horario en esa ventana")
                          .arg(lock.holder()));
    updateStoreFile(storeFile, [&](IniDocument& doc) { setSchedule(doc, texts); });
}

} // namespace horvex
