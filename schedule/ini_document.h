#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace horvex {

// An INI text as programs and hands leave it: "[section]" headers and
// "key=value" lines, names matched without regard to case. Every other line
// (comments, blank lines, a header without "]", binary junk) is kept byte for
// byte, so writing the text back loses nothing. Parsing and lookups take time
// linear in the text's size.
class IniDocument {
public:
    static IniDocument parse(const QByteArray& bytes);
    QByteArray serialize() const;

    // The first value stored under section/key, whatever the case.
    std::optional<QString> value(const QString& section, const QString& key) const;

    // Replaces the first value of the name in place (its line stays byte for
    // byte when the value reads the same) and drops its duplicates, or adds
    // the value at the end of its section, creating the section.
    void setValue(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);

    // The keys of a section as spelled in the text, in order of the text.
    QStringList keys(const QString& section) const;

    // A line that is not an entry ("; what this file is"), at the top.
    void prependComment(const QByteArray& line);

private:
    // A text line, and the entries added after it since parsing.
    struct Line {
        QByteArray raw;  // as it stands, without its line break
        QString section; // folded; set for headers and entries
        QString key;     // as spelled; set for entries only
        bool removed = false;
        bool cr = false; // ended in "\r\n"
        std::vector<Line> added;
    };
    struct Ref {
        int line = 0;
        int added = -1; // -1: the line itself
    };

    static QString fold(const QString& name);
    static QString entryName(const QString& section, const QString& key);
    static QString valueOf(const Line& entry);
    Line& at(Ref r);
    const Line& at(Ref r) const;

    std::vector<Line> lines_;
    QHash<QString, QList<Ref>> entries_; // folded section/key -> where, in text order
    QHash<QString, int> lastOfSection_;  // folded section -> the line new keys follow
    bool bom_ = false;
    bool finalNewline_ = true;
    bool crlf_ = false; // new lines end as the file's first line does
};

// The lines of a file a person writes in this form, as its readers take them:
// element n - 1 is line n, without its line break, what follows a ";" and
// surrounding blanks; a "#" comment is empty; the first loses a byte order
// mark.
QStringList contentLines(const QByteArray& bytes);

} // namespace horvex
