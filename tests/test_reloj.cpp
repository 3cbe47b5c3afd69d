#include "decoder.h"
#include "listener.h"
#include "report.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using namespace horvex::reloj;

namespace {

// 14:05:09; slot 0 07:30 long, slot 1 12:00, the rest unset; short 02, long 05.
QByteArray workedExample() {
    QByteArray f = QByteArray::fromHex("02443539B7604230");
    for (int i = 2; i < kSlotCount; ++i)
        f += QByteArray::fromHex("5430");
    return f + QByteArray::fromHex("3235") + "KT\r\n";
}

QByteArray with(int offset, int byte) {
    QByteArray f = workedExample();
    f[offset] = static_cast<char>(byte);
    return f;
}

QList<double> paced(int n, double stepMs) {
    QList<double> at;
    for (int i = 0; i < n; ++i)
        at << i * stepMs;
    return at;
}

} // namespace

class TestReloj : public QObject {
    Q_OBJECT
private slots:
    void goodFrameDecodesEveryField() {
        const Decoded d = decode(workedExample(), paced(kFrameSize, 10));
        QVERIFY2(d.ok(), qPrintable(textReport(d)));
        const Frame& f = *d.frame;
        QCOMPARE(std::tuple(f.hour, f.minute, f.second), std::tuple(14, 5, 9));
        QCOMPARE(std::tuple(f.alarms[0].hour, f.alarms[0].minute, f.alarms[0].longRing),
                 std::tuple(7, 30, true));
        QCOMPARE(std::tuple(f.alarms[1].hour, f.alarms[1].minute, f.alarms[1].longRing),
                 std::tuple(12, 0, false));
        QVERIFY(!f.alarms[0].unset() && !f.alarms[1].unset());
        for (int i = 2; i < kSlotCount; ++i)
            QVERIFY(f.alarms[static_cast<std::size_t>(i)].unset());
        QCOMPARE(std::pair(f.shortRing, f.longRing), std::pair(2, 5));
        QCOMPARE(d.gaps->count, kFrameSize - 1);

        const QString text = textReport(d);
        QVERIFY(text.contains(QStringLiteral("Time of day set: 14:05:09")));
        QVERIFY(text.contains(QStringLiteral("H00  07:30  long")));
        QVERIFY(text.contains(QStringLiteral("H01  12:00  short")));
        QVERIFY(text.contains(QStringLiteral("H35  --:--  unset")));
        QVERIFY(text.contains(QStringLiteral("Ring lengths: short 02, long 05")));
        QVERIFY(text.contains(QLatin1Char('\a')));
    }

    void edgeValuesAreGood() {
        QByteArray f = workedExample();
        f[4 + 2 * 35] = char(0xD4); // slot 35: 24 long
        f[5 + 2 * 35] = char(0x90); // minute 60
        f[5 + 2 * 20] = char(0x89); // minute 59
        f[1] = char(0x53);          // 23 h
        f[77] = char(0x45);         // ring 15
        const Decoded d = decode(f);
        QVERIFY2(d.ok(), qPrintable(textReport(d)));
        const Slot& s35 = d.frame->alarms[35];
        QCOMPARE(std::tuple(s35.hour, s35.minute, s35.longRing), std::tuple(24, 60, true));
        QVERIFY(!s35.unset());
        QCOMPARE(d.frame->alarms[20].minute, 59);
        QCOMPARE(d.frame->hour, 23);
        QCOMPARE(d.frame->longRing, 15);
    }

    void oneBadByte_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing STX") << 0 << 0x03 << "start of frame"
                                     << "expected 0x02";
        QTest::newRow("bad BCD nibble") << 18 << 0x3A << "slot 7 hour"
                                        << "units digit A";
        QTest::newRow("bad tens nibble") << 2 << 0xD0 << "time minute"
                                         << "tens digit A";
        QTest::newRow("below digits") << 3 << 0x02 << "time second"
                                      << "below 0x30";
        QTest::newRow("time hour 24") << 1 << 0x54 << "time hour"
                                      << "reads 24, out of range 00-23";
        QTest::newRow("alarm hour 25") << 6 << 0x55 << "slot 1 hour"
                                       << "out of range 00-24";
        QTest::newRow("minute 61") << 75 << 0x91 << "slot 35 minute"
                                   << "out of range 00-60";
        QTest::newRow("flag on minute") << 5 << 0xB0 << "slot 0 minute"
                                        << "long-ring flag";
        QTest::newRow("flag on second") << 3 << 0xB9 << "time second"
                                        << "long-ring flag";
        QTest::newRow("ring 00") << 76 << 0x30 << "short ring length"
                                 << "out of range 01-15";
        QTest::newRow("end marker") << 79 << int('X') << "end marker KT"
                                    << "expected 0x54";
        QTest::newRow("LF") << 81 << 0x0D << "LF"
                            << "expected 0x0A";
    }
    void oneBadByte() {
        QFETCH(int, offset);
        QFETCH(int, byte);
        QFETCH(QString, field);
        QFETCH(QString, reason);
        const Decoded d = decode(with(offset, byte));
        QVERIFY(!d.ok());
        QCOMPARE(d.problems.size(), 1);
        QCOMPARE(d.problems[0].offset, offset);
        QCOMPARE(d.problems[0].field, field);
        QVERIFY2(d.problems[0].reason.contains(reason), qPrintable(d.problems[0].reason));
        QVERIFY(textReport(d).contains(QStringLiteral("%1 (offset %2)").arg(field).arg(offset)));
    }

    void wrongLength_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("offset");
        QTest::newRow("LF missing") << workedExample().left(81) << 81;
        QTest::newRow("one too many") << workedExample() + 'x' << 82;
        QTest::newRow("nothing") << QByteArray() << 0;
    }
    void wrongLength() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, offset);
        const Decoded d = decode(bytes);
        QVERIFY(!d.ok());
        QCOMPARE(d.problems.size(), 1);
        QCOMPARE(d.problems[0].field, QStringLiteral("length"));
        QCOMPARE(d.problems[0].offset, offset);
    }

    void longSilenceInsideFrame() {
        QList<double> at = paced(kFrameSize, 10);
        for (int i = 40; i < kFrameSize; ++i)
            at[i] += 1500;
        const Decoded d = decode(workedExample(), at);
        QCOMPARE(d.problems.size(), 1);
        QCOMPARE(d.problems[0].offset, 40);
        QCOMPARE(d.gaps->maxMs, 1510.0);
        QCOMPARE(d.gaps->medianMs, 10.0);
    }

    void splitterCutsTheStream() {
        Splitter s;
        QList<Chunk> out;
        double t = 0;
        const auto feed = [&](const QByteArray& bytes) {
            for (const char b : bytes)
                out += s.push(b, t += 10);
        };
        feed("zz");                     // noise, handed out when the STX comes
        feed(workedExample());          // complete at 82 bytes
        feed(workedExample().left(30)); // cut short: ends after a quiet second
        QCOMPARE(out.size(), 2);
        QCOMPARE(out[0].bytes, QByteArray("zz"));
        QCOMPARE(decode(out[0].bytes).problems.size(), 2); // no STX, too short; no field noise
        QCOMPARE(out[1].bytes, workedExample());
        QVERIFY(!s.expire(t + 1000));
        const std::optional<Chunk> cut = s.expire(t + 1001);
        QVERIFY(cut && cut->endedBySilence);
        QCOMPARE(cut->bytes, workedExample().left(30));
        QCOMPARE(s.msUntilExpiry(t), -1.0);
    }

    void listenerReadsWhatTheSenderWrites() {
        QString error;
        const std::unique_ptr<Listener> clock = Listener::openPty(&error);
        QVERIFY2(clock, qPrintable(error));
        const QByteArray frame = with(5, 0x90) + workedExample(); // a good frame and another
        const int fd = ::open(qPrintable(clock->path()), O_WRONLY | O_NOCTTY);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, frame.constData(), frame.size()), ssize_t(frame.size()));
        ::close(fd); // the clock's own hold keeps the line alive
        for (const QByteArray& expected : {with(5, 0x90), workedExample()}) {
            const std::optional<Chunk> chunk = clock->next(5000);
            QVERIFY2(chunk, qPrintable(clock->error()));
            QCOMPARE(chunk->bytes.toHex(' '), expected.toHex(' ')); // CR LF untouched
            QVERIFY(decode(chunk->bytes, chunk->arrivalMs).ok());
        }
        QVERIFY(!clock->next(0));
    }

    void processOnce_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("good") << QStringList() << workedExample() << 0 << "BEEP";
        QTest::newRow("one byte changed")
            << QStringList() << with(18, 0x3A) << 1 << "slot 7 hour (offset 18)";
        QTest::newRow("json") << QStringList{QStringLiteral("--json")} << workedExample() << 0
                              << "\"time\":\"14:05:09\"";
    }
    void processOnce() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, frame);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QProcess clock;
        clock.setReadChannel(QProcess::StandardError);
        clock.start(QStringLiteral(HORVEX_RELOJ), QStringList{QStringLiteral("--once")} + args);
        QVERIFY(clock.waitForStarted());
        QString path;
        while (path.isEmpty() && clock.waitForReadyRead(5000)) {
            const auto m = QRegularExpression(QStringLiteral(" on (\\S+) "))
                               .match(QString::fromLocal8Bit(clock.readAllStandardError()));
            path = m.captured(1);
        }
        QVERIFY(!path.isEmpty());
        const int fd = ::open(qPrintable(path), O_WRONLY | O_NOCTTY);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, frame.constData(), frame.size()), ssize_t(frame.size()));
        ::close(fd);
        QVERIFY(clock.waitForFinished(5000));
        QCOMPARE(clock.exitCode(), exitCode);
        QVERIFY(QString::fromLocal8Bit(clock.readAllStandardOutput()).contains(printed));
    }
};

QTEST_GUILESS_MAIN(TestReloj)
#include "test_reloj.moc"
