#include "schedule/ini_document.h"

namespace horvex {

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

bool isComment(QByteArrayView trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// A value as written by a hand or by Qt: plain text, or a quoted text with
// backslash escapes.
QString decodeValue(QByteArrayView text) {
    text = text.trimmed();
    if (text.size() < 2 || !text.startsWith('"') || !text.endsWith('"'))
        return QString::fromUtf8(text);
    QByteArray out;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 2 < text.size()) {
            c = text[++i];
            c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
        out.append(c);
    }
    return QString::fromUtf8(out);
}

QByteArray encodeValue(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    bool plain = utf8 == utf8.trimmed();
    for (const char c : utf8)
        plain = plain && static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\' &&
                c != ';' && c != ',' && c != '#';
    if (plain)
        return utf8;
    QByteArray out("\"");
    for (const char c : utf8) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '"' || c == '\\')
            out += QByteArray(1, '\\') + c;
        else
            out += c;
    }
    return out + '"';
}

QByteArray entryLine(const QString& key, const QString& value) {
    return key.toUtf8() + '=' + encodeValue(value);
}

} // namespace

QString IniDocument::fold(const QString& name) {
    return name.toCaseFolded();
}

QString IniDocument::entryName(const QString& section, const QString& key) {
    return fold(section) + QLatin1Char('\n') + fold(key);
}

QString IniDocument::valueOf(const Line& entry) {
    return decodeValue(QByteArrayView(entry.raw).sliced(entry.raw.indexOf('=') + 1));
}

IniDocument::Line& IniDocument::at(Ref r) {
    Line& line = lines_[static_cast<std::size_t>(r.line)];
    return r.added < 0 ? line : line.added[static_cast<std::size_t>(r.added)];
}

const IniDocument::Line& IniDocument::at(Ref r) const {
    const Line& line = lines_[static_cast<std::size_t>(r.line)];
    return r.added < 0 ? line : line.added[static_cast<std::size_t>(r.added)];
}

IniDocument IniDocument::parse(const QByteArray& bytes) {
    IniDocument doc;
    QByteArrayView text(bytes);
    if (text.startsWith(kBom)) {
        doc.bom_ = true;
        text = text.sliced(kBom.size());
    }
    const bool endsWithNewline = text.endsWith('\n');
    if (endsWithNewline)
        text.chop(1);
    else if (text.isEmpty())
        return doc; // no line at all; what is added later ends in a newline
    doc.finalNewline_ = endsWithNewline;

    // Entries under a header without "]" belong to no section we could name:
    // they are kept, never read.
    QString section;
    bool sectionKnown = true;
    for (qsizetype start = 0; start <= text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView raw = text.sliced(start, end - start);
        const bool cr = raw.endsWith('\r');
        if (cr)
            raw.chop(1);
        if (doc.lines_.empty())
            doc.crlf_ = cr;
        start = end + 1;

        Line line{raw.toByteArray(), {}, {}, false, cr, {}};
        const QByteArrayView trimmed = raw.trimmed();
        const int here = static_cast<int>(doc.lines_.size());
        if (trimmed.startsWith('[')) {
            const qsizetype close = trimmed.indexOf(']');
            sectionKnown = close > 0;
            section = sectionKnown ? fold(QString::fromUtf8(trimmed.sliced(1, close - 1).trimmed()))
                                   : QString();
            line.section = section;
            if (sectionKnown)
                doc.lastOfSection_[section] = here;
        } else if (const qsizetype eq = trimmed.indexOf('=');
                   eq > 0 && sectionKnown && !isComment(trimmed)) {
            const QString key = QString::fromUtf8(trimmed.first(eq).trimmed());
            if (!key.isEmpty()) {
                line.section = section;
                line.key = key;
                doc.entries_[section + QLatin1Char('\n') + fold(key)].append({here, -1});
                doc.lastOfSection_[section] = here;
            }
        }
        doc.lines_.push_back(std::move(line));
        if (end == text.size())
            break;
    }
    return doc;
}

QByteArray IniDocument::serialize() const {
    QByteArray out = bom_ ? kBom : QByteArray();
    bool first = true;
    const auto put = [&](const Line& line) {
        if (line.removed)
            return;
        if (!first)
            out += '\n';
        out += line.raw;
        if (line.cr)
            out += '\r';
        first = false;
    };
    for (const Line& line : lines_) {
        put(line);
        for (const Line& added : line.added)
            put(added);
    }
    if (!first && finalNewline_)
        out += '\n';
    return out;
}

std::optional<QString> IniDocument::value(const QString& section, const QString& key) const {
    const auto found = entries_.constFind(entryName(section, key));
    if (found == entries_.cend())
        return std::nullopt;
    for (const Ref r : *found) {
        const Line& line = at(r);
        if (!line.removed)
            return valueOf(line);
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    QList<Ref>& refs = entries_[entryName(section, key)];
    bool placed = false;
    for (const Ref r : refs) {
        Line& line = at(r);
        if (line.removed)
            continue;
        // A value that reads the same is left as written, with its spacing
        // and any bytes that are not UTF-8 (a Latin-1 "é" would not survive
        // being decoded and encoded again).
        if (!placed && valueOf(line) != value)
            line.raw = entryLine(line.key, value);
        else if (placed)
            line.removed = true; // one value per name
        placed = true;
    }
    if (placed)
        return;

    const QString folded = fold(section);
    auto last = lastOfSection_.find(folded);
    if (last == lastOfSection_.end()) {
        if (!lines_.empty() && !lines_.back().raw.trimmed().isEmpty())
            lines_.push_back({{}, {}, {}, false, crlf_, {}});
        lines_.push_back({'[' + section.toUtf8() + ']', folded, {}, false, crlf_, {}});
        last = lastOfSection_.insert(folded, static_cast<int>(lines_.size()) - 1);
    }
    Line& anchor = lines_[static_cast<std::size_t>(*last)];
    anchor.added.push_back({entryLine(key, value), folded, key, false, crlf_, {}});
    refs.append({*last, static_cast<int>(anchor.added.size()) - 1});
}

void IniDocument::remove(const QString& section, const QString& key) {
    for (const Ref r : entries_.value(entryName(section, key)))
        at(r).removed = true;
}

QStringList IniDocument::keys(const QString& section) const {
    const QString folded = fold(section);
    QStringList found;
    const auto take = [&](const Line& line) {
        if (!line.removed && !line.key.isEmpty() && line.section == folded)
            found.append(line.key);
    };
    for (const Line& line : lines_) {
        take(line);
        for (const Line& added : line.added)
            take(added);
    }
    return found;
}

void IniDocument::prependComment(const QByteArray& line) {
    // Every reference holds a line number: shift them all by one.
    lines_.insert(lines_.begin(), Line{line, {}, {}, false, crlf_, {}});
    for (QList<Ref>& refs : entries_)
        for (Ref& r : refs)
            ++r.line;
    for (int& last : lastOfSection_)
        ++last;
}

QStringList contentLines(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines[0].startsWith(QChar(0xFEFF)))
        lines[0].remove(0, 1);
    for (QString& line : lines) {
        const qsizetype semi = line.indexOf(QLatin1Char(';'));
        if (semi >= 0)
            line.truncate(semi);
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('#')))
            line.clear();
    }
    return lines;
}

} // namespace horvex
