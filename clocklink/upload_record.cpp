#include "clocklink/upload_record.h"

#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/quoted.h"
#include "schedule/reg_store.h"
#include "schedule/xdg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace horvex {

namespace {

using State = RecordedUpload::State;

constexpr qint64 kBlock = 64 * 1024;
// Far above any line of ours; a longer one is not ours and is not held whole.
constexpr qsizetype kLineCap = 16 * 1024;
// Uploads sent whole that the record keeps whatever else was written: the
// proof of what the clock holds.
constexpr int kKeptUploads = 100;

QLatin1StringView sendingText() {
    return QLatin1StringView("enviando");
}

QLatin1StringView sentText() {
    return QLatin1StringView("enviado");
}

QString oldFile(const QString& file) {
    return file + QStringLiteral(".1");
}

QString cannotWrite(const QString& file, const QString& why) {
    return QStringLiteral("no se pudo anotar el envío en %1: %2").arg(file, why);
}

// For its life, writing past the file size limit fails with EFBIG instead of
// ending the program halfway through a line.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &former_);
    }
    ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &former_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction former_ {};
};

// One write(2): on an O_APPEND descriptor it lands whole after whatever
// another program appended. A line that does not fit whole (a full disk, a
// file size limit) is taken back, so no half line is left to glue the next
// one onto.
void appendWhole(int fd, const QByteArray& bytes, const QString& file) {
    const FileSizeSignalIgnored noSignal;
    struct stat st {};
    const off_t before = ::fstat(fd, &st) == 0 ? st.st_size : -1;
    ssize_t n = -1;
    do
        n = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    while (n < 0 && errno == EINTR);
    if (n == bytes.size())
        return;
    if (n < 0)
        throw Failure(cannotWrite(file, systemReason()));
    // Where our part began; another program may have appended since fstat.
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    const off_t start = end >= n ? end - n : before;
    // The rest once more, to learn the system's reason; should it fit now and
    // follow on directly, the line is whole after all.
    const bool rest = writeAll(fd, QByteArrayView(bytes).sliced(n));
    if (rest && ::lseek(fd, 0, SEEK_CUR) == start + bytes.size())
        return;
    const QString why = rest ? QStringLiteral("escritura incompleta") : systemReason();
    if (start >= 0 && ::ftruncate(fd, start) != 0)
        throw Failure(cannotWrite(file, why + QStringLiteral("; queda media línea al final")));
    throw Failure(cannotWrite(file, why));
}

// A file's lines from its end backwards, a block at a time. Of a line longer
// than kLineCap only the beginning is kept; `length` says how long it was.
class BackwardLines {
public:
    BackwardLines(QString file, int fd)
        : file_(std::move(file))
        , fd_(fd) {
        struct stat st {};
        blockStart_ = ::fstat(fd, &st) == 0 ? st.st_size : 0;
    }

    bool previous(QByteArray& line, qint64& length) {
        line.clear();
        length = 0;
        bool any = false;
        for (;;) {
            if (cursor_ == 0) {
                if (blockStart_ == 0)
                    return any;
                readBlock();
            }
            const qsizetype newline = block_.lastIndexOf('\n', cursor_ - 1);
            const qsizetype begin = newline + 1;
            const qsizetype piece = std::min(cursor_ - begin, kLineCap);
            line = QByteArray(block_.constData() + begin, piece) + line.left(kLineCap - piece);
            length += cursor_ - begin;
            any = true;
            cursor_ = std::max<qsizetype>(newline, 0);
            if (newline >= 0)
                return true;
        }
    }

private:
    void readBlock() {
        const qint64 from = std::max<qint64>(0, blockStart_ - kBlock);
        block_.resize(blockStart_ - from);
        qint64 done = 0;
        while (done < block_.size()) {
            const ssize_t n = ::pread(fd_, block_.data() + done,
                                      static_cast<size_t>(block_.size() - done), from + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw Failure(QStringLiteral("no se puede leer el registro %1: %2")
                                  .arg(file_, n < 0 ? systemReason()
                                                    : QStringLiteral("se acortó al leerlo")));
            done += n;
        }
        blockStart_ = from;
        cursor_ = block_.size();
    }

    QString file_;
    int fd_;
    qint64 blockStart_ = 0; // where the block in hand begins in the file
    QByteArray block_;
    qsizetype cursor_ = 0; // the block's bytes before this are still to be read
};

// An opening line whose program is still running, and started lately.
bool stillSending(const UploadOutcome& o) {
    bool ok = false;
    const pid_t pid = o.id.section(QLatin1Char('-'), 0, 0).toInt(&ok);
    const qint64 age = o.at.secsTo(QDateTime::currentDateTime());
    return ok && pid > 0 && age >= -5 && age < 120 && (::kill(pid, 0) == 0 || errno == EPERM);
}

QString printable(const QByteArray& text, qint64 length) {
    QString shown = QString::fromUtf8(text.left(60));
    for (QChar& c : shown)
        if (!c.isPrint() || c == QChar::ReplacementCharacter)
            c = QLatin1Char('?');
    return QStringLiteral("«%1%2» (%3)")
        .arg(shown, length > 60 ? QStringLiteral("…") : QString(), sizeText(length));
}

// The last bytes of a file, from the start of a line: a record someone
// filled with junk is not read whole.
QByteArray tailOf(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const qint64 from = std::max<qint64>(0, f.size() - 2 * UploadRecord::kLimit);
    f.seek(from);
    QByteArray bytes = f.readAll();
    if (from > 0)
        bytes.remove(0, bytes.indexOf('\n') + 1);
    return bytes;
}

// The closing lines of the uploads sent whole.
QList<QByteArray> sentLines(const QByteArray& bytes) {
    QList<QByteArray> sent;
    for (const QByteArray& l : bytes.split('\n'))
        if (l.size() <= UploadRecord::kLineLimit)
            if (const std::optional<UploadOutcome> o = UploadRecord::parse(l);
                o && !o->opening && o->reason.isEmpty())
                sent << l;
    return sent;
}

// Once `file` holds the record just moved aside: when it shows fewer than
// kKeptUploads uploads sent whole (other lines filled it), the last of
// those in `older`, the file it replaced, go back in before it. The reason
// it could not, or nothing.
QString keepProof(const QString& file, const QByteArray& older) {
    const QByteArray moved = tailOf(file);
    const qsizetype missing = kKeptUploads - sentLines(moved).size();
    const QList<QByteArray> carried = sentLines(older);
    if (missing <= 0 || carried.isEmpty())
        return {};
    const QByteArray kept =
        carried.mid(std::max<qsizetype>(0, carried.size() - missing)).join('\n');
    try {
        replaceFile(file, kept + '\n' + moved);
        return {};
    } catch (const Failure& f) {
        return QStringLiteral("no se pudieron guardar en %1 los últimos envíos completos del "
                              "registro anterior: %2")
            .arg(file, f.description());
    }
}

// The upload a line tells, read from the end: a closing line closes its id
// for the opening line found before it, which then tells nothing new.
std::optional<RecordedUpload> uploadOf(const QByteArray& text, qint64 length,
                                       QSet<QString>& closed) {
    RecordedUpload u;
    const std::optional<UploadOutcome> o =
        length <= kLineCap ? UploadRecord::parse(text) : std::nullopt;
    if (!o) {
        u.text = printable(text, length);
        return u;
    }
    u.outcome = *o;
    if (!o->opening) {
        if (!o->id.isEmpty())
            closed.insert(o->id);
        u.state = o->reason.isEmpty() ? State::Sent : o->sent > 0 ? State::Cut : State::NotSent;
        return u;
    }
    if (closed.contains(o->id))
        return std::nullopt;
    u.state = stillSending(*o) ? State::Sending : State::Interrupted;
    return u;
}

} // namespace

UploadRecord::UploadRecord()
    : UploadRecord(QDir(stateHome()).filePath(QStringLiteral("Horvex/envios.log"))) {}

UploadRecord::UploadRecord(QString file)
    : file_(std::move(file)) {}

QString UploadRecord::newId() {
    return QStringLiteral("%1-%2")
        .arg(::getpid())
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

QString UploadRecord::line(const UploadOutcome& o) {
    // Each text bounded, so a line stays under kLineLimit whatever it tells.
    const auto field = [](QString text, qsizetype bytes = 1024) {
        text.replace(QLatin1Char('\t'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        text.remove(QLatin1Char('\r'));
        return text.isEmpty() ? QStringLiteral("-") : cutToBytes(text, bytes);
    };
    // With the offset, so that a line stays right across a daylight-saving change.
    const QDateTime at = o.at.toOffsetFromUtc(o.at.offsetFromUtc());
    QStringList fields{at.toString(Qt::ISODateWithMs),
                       field(o.origin, 64),
                       o.port > 0 ? QStringLiteral("COM%1").arg(o.port) : QStringLiteral("-"),
                       field(o.device, 512),
                       o.opening            ? QString(sendingText())
                       : o.reason.isEmpty() ? QString(sentText())
                                            : field(o.reason),
                       o.opening || o.sent < 0 ? QStringLiteral("-") : QString::number(o.sent),
                       field(QString::fromLatin1(o.frame.left(512).toHex().toUpper())),
                       field(o.id, 64)};
    if (!o.rules.isEmpty())
        fields << field(o.rules,
                        kLineLimit - 1 - fields.join(QLatin1Char('\t')).toUtf8().size() - 1);
    return fields.join(QLatin1Char('\t'));
}

std::optional<UploadOutcome> UploadRecord::parse(const QByteArray& line) {
    // Seven fields before uploads had ids; an eighth, the id; a ninth, the rules.
    const QStringList f = QString::fromUtf8(line).split(QLatin1Char('\t'));
    if (f.size() < 7 || f.size() > 9)
        return std::nullopt;
    const auto text = [](const QString& s) { return s == QLatin1String("-") ? QString() : s; };
    UploadOutcome o;
    o.at = QDateTime::fromString(f[0], Qt::ISODateWithMs);
    bool portOk = f[2] == QLatin1String("-");
    if (f[2].startsWith(QLatin1String("COM")))
        o.port = f[2].mid(3).toInt(&portOk);
    bool sentOk = f[5] == QLatin1String("-");
    o.sent = sentOk ? -1 : f[5].toInt(&sentOk);
    o.frame = QByteArray::fromHex(text(f[6]).toLatin1());
    const bool frameOk = QString::fromLatin1(o.frame.toHex().toUpper()) == text(f[6]);
    if (!o.at.isValid() || !portOk || !sentOk || !frameOk)
        return std::nullopt;
    o.origin = f[1];
    o.device = text(f[3]);
    o.opening = f[4] == sendingText();
    if (!o.opening && f[4] != sentText())
        o.reason = f[4];
    o.id = text(f.value(7));
    o.rules = text(f.value(8));
    return o;
}

void UploadRecord::append(const UploadOutcome& outcome) const {
    const QByteArray bytes = (line(outcome) + QLatin1Char('\n')).toUtf8();
    try {
        makeFolders(QFileInfo(file_).absolutePath());
    } catch (const Failure& failure) {
        throw Failure(cannotWrite(file_, failure.description()));
    }
    const auto open = [this] {
        try {
            return std::move(*openGuarded(file_, FileAccess::Append));
        } catch (const Failure& failure) {
            throw Failure(QStringLiteral("no se pudo anotar el envío: ") + failure.description());
        }
    };
    UniqueFd fd = open();
    // A new file once this line would take the record past its limit; the
    // older file is replaced, keeping its proof of what the clock holds.
    QString notMoved;
    struct stat st {};
    if (::fstat(fd.get(), &st) == 0 && st.st_size > 0 && st.st_size + bytes.size() > kLimit) {
        const QByteArray older = tailOf(oldFile(file_));
        if (::rename(QFile::encodeName(file_).constData(),
                     QFile::encodeName(oldFile(file_)).constData()) == 0) {
            fd = open();
            notMoved = keepProof(oldFile(file_), older);
        } else {
            notMoved = QStringLiteral("el envío se anotó en %1, que pasa de %2: no se pudo "
                                      "renombrar a %3 (%4)")
                           .arg(file_, sizeText(kLimit), oldFile(file_), systemReason());
        }
    }
    appendWhole(fd.get(), bytes, file_);
    if (!notMoved.isEmpty())
        throw Failure(notMoved);
}

QList<RecordedUpload> UploadRecord::recent(int n) const {
    QList<RecordedUpload> found; // newest first
    QSet<QString> closed;
    for (const QString& file : {file_, oldFile(file_)}) {
        const std::optional<UniqueFd> fd =
            found.size() < n ? openGuarded(file, FileAccess::Read) : std::nullopt;
        if (!fd)
            continue;
        BackwardLines lines(file, fd->get());
        QByteArray text;
        qint64 length = 0;
        while (found.size() < n && lines.previous(text, length))
            if (length > 0)
                if (std::optional<RecordedUpload> u = uploadOf(text, length, closed))
                    found << *u;
    }
    std::reverse(found.begin(), found.end());
    return found;
}

bool chosenByCalendar(const UploadOutcome& o) {
    QString rules = o.rules;
    rules.remove(kUnsyncedRule).remove(QLatin1Char(';'));
    return o.origin == QLatin1String("calendario") ||
           (!rules.trimmed().isEmpty() && !o.rules.startsWith(kScheduleFileRule));
}

} // namespace horvex
