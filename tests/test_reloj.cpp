#include "decoder.h"
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

QList<double> paced(double stepMs) {
    QList<double> at;
    for (int i = 0; i < kFrameSize; ++i)
        at << i * stepMs;
    return at;
}

} // namespace

class TestReloj : public QObject {
    Q_OBJECT
private slots:
    void goodFrameDecodesEveryField() {
        const Decoded d = decode(workedExample(), paced(10));
        QVERIFY2(d.ok(), qPrintable(textReport(d)));
        const Frame& f = *d.frame;
        QCOMPARE(std::tuple(f.hour, f.minute, f.second), std::tuple(14, 5, 9));
        const Slot a = f.alarms[0], b = f.alarms[1];
        QCOMPARE(std::tuple(a.hour, a.minute, a.longRing, b.hour, b.minute, b.longRing),
                 std::tuple(7, 30, true, 12, 0, false));
        for (int i = 2; i < kSlotCount; ++i)
            QVERIFY(f.alarms[static_cast<std::size_t>(i)].unset());
        QCOMPARE(std::pair(f.shortRing, f.longRing), std::pair(2, 5));
        QVERIFY(textReport(d).contains(QStringLiteral("H00  07:30  long")));
    }

    void oneProblem_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("field");
        QTest::newRow("missing STX") << with(0, 0x03) << 0 << "start of frame";
        QTest::newRow("bad BCD nibble") << with(18, 0x3A) << 18 << "slot 7 hour";
        QTest::newRow("minute 61") << with(75, 0x91) << 75 << "slot 35 minute";
        QTest::newRow("flag on minute") << with(5, 0xB0) << 5 << "slot 0 minute";
        QTest::newRow("LF") << with(81, 0x0D) << 81 << "LF";
        QTest::newRow("LF missing") << workedExample().left(81) << 81 << "length";
        QTest::newRow("one too many") << workedExample() + 'x' << 82 << "length";
    }
    void oneProblem() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, offset);
        QFETCH(QString, field);
        const Decoded d = decode(bytes);
        QCOMPARE(d.problems.size(), 1);
        QCOMPARE(std::pair(d.problems[0].field, d.problems[0].offset), std::pair(field, offset));
        QVERIFY(textReport(d).contains(QStringLiteral("%1 (offset %2)").arg(field).arg(offset)));
    }

    void longSilenceInsideFrame() {
        QList<double> at = paced(10);
        for (int i = 40; i < kFrameSize; ++i)
            at[i] += 1500;
        const Decoded d = decode(workedExample(), at);
        QCOMPARE(d.problems.size(), 1);
        QCOMPARE(d.problems[0].offset, 40);
    }

    void usage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("unknown") << QStringList{"--oncee"} << 64 << "Unknown option 'oncee'";
        QTest::newRow("two devices") << QStringList{"/dev/a", "/dev/b"} << 64 << "one too many";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "horvex-reloj 1.12";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--once";
    }
    void usage() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QProcess clock;
        clock.start(QStringLiteral(HORVEX_RELOJ), args);
        QVERIFY(clock.waitForFinished(5000));
        QCOMPARE(clock.exitCode(), exitCode);
        const QString all = clock.readAllStandardOutput() + clock.readAllStandardError();
        QVERIFY2(all.contains(said) && !all.contains("help-all"), qPrintable(all));
    }

    void processOnce_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("good") << workedExample() << 0 << "BEEP";
        QTest::newRow("bad") << with(18, 0x3A) << 1 << "slot 7 hour (offset 18)";
    }
    void processOnce() {
        QFETCH(QByteArray, frame);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QProcess clock;
        clock.setReadChannel(QProcess::StandardError);
        clock.start(QStringLiteral(HORVEX_RELOJ), {QStringLiteral("--once")});
        QString path;
        while (path.isEmpty() && clock.waitForReadyRead(5000))
            path = QRegularExpression(QStringLiteral(" on (\\S+) "))
                       .match(QString::fromLocal8Bit(clock.readAllStandardError()))
                       .captured(1);
        const int fd = ::open(qPrintable(path), O_WRONLY | O_NOCTTY);
        QVERIFY2(fd >= 0, qPrintable(path));
        QCOMPARE(::write(fd, frame.constData(), frame.size()), ssize_t(frame.size()));
        ::close(fd);
        QVERIFY(clock.waitForFinished(5000));
        QCOMPARE(clock.exitCode(), exitCode);
        QVERIFY(QString::fromLocal8Bit(clock.readAllStandardOutput()).contains(printed));
    }
};

QTEST_GUILESS_MAIN(TestReloj)
#include "test_reloj.moc"
