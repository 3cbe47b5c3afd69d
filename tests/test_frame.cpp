#include "clocklink/frame.h"
#include "schedule/failure.h"

#include <QTest>

using namespace horvex;

namespace {

QByteArray build(const ClockSchedule& s, const QString& time = QStringLiteral("&H14&H05&H09")) {
    return buildFrame(s, time.mid(0, 4), time.mid(4, 4), time.mid(8, 4));
}

int at(const QByteArray& frame, int offset) {
    return static_cast<quint8>(frame.at(offset));
}

} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void workedExample() {
        ClockSchedule s = unsetSchedule();
        s.alarms[0] = {QStringLiteral("07"), QStringLiteral("30"), 1};
        s.alarms[1] = {QStringLiteral("12"), QStringLiteral("00"), 0};
        QByteArray expected = QByteArray::fromHex("02443539B7604230");
        for (int i = 2; i < kSlots; ++i)
            expected += QByteArray::fromHex("5430");
        expected += QByteArray::fromHex("3235") + "KT\r\n";
        QCOMPARE(build(s).toHex(' '), expected.toHex(' '));
        const QByteArray midnight = build(s, QStringLiteral("&H00&H00&H00"));
        QCOMPARE(midnight.mid(1, 3), QByteArray("000"));
    }

    void valueBytes_data() {
        QTest::addColumn<QString>("slot"); // hour:minute
        QTest::addColumn<int>("check");
        QTest::addColumn<int>("hourByte");
        QTest::addColumn<int>("minuteByte");
        QTest::newRow("24 long") << "24:00" << 1 << 0xD4 << 0x30;
        QTest::newRow("00 long") << "00:00" << 1 << 0xB0 << 0x30;
        QTest::newRow("minute 60") << "23:60" << 0 << 0x53 << 0x90;
        QTest::newRow("minute 50") << "00:50" << 0 << 0x30 << 0x80;
        QTest::newRow("greyed box") << "12:00" << 2 << 0x42 << 0x30;
        QTest::newRow("one digit") << "7:5" << 0 << 0x37 << 0x35;
    }
    void valueBytes() {
        QFETCH(QString, slot);
        QFETCH(int, check);
        QFETCH(int, hourByte);
        QFETCH(int, minuteByte);
        ClockSchedule s = unsetSchedule();
        s.alarms[17] = {slot.section(':', 0, 0), slot.section(':', 1), check};
        const QByteArray frame = build(s);
        QCOMPARE(frame.size(), kFrameLength);
        QCOMPARE(std::pair(at(frame, 38), at(frame, 39)), std::pair(hourByte, minuteByte));
        QCOMPARE(std::pair(at(frame, 36), at(frame, 40)), std::pair(0x54, 0x54)); // neighbours
    }

    // A text the clock could not read never yields a frame, and the failure
    // names the field the operator has to fix.
    void unreadableTexts_data() {
        QTest::addColumn<int>("field"); // 0 hour of slot 7, 1 minute of slot 7, 2 short ring
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("check");
        QTest::addColumn<QString>("named");
        QTest::newRow("empty hour") << 0 << "" << 0 << "Hora H07";
        QTest::newRow("hex letter") << 0 << "1A" << 0 << "Hora H07";
        QTest::newRow("long overflow") << 0 << "99" << 1 << "Hora H07";
        QTest::newRow("three digits") << 1 << "100" << 0 << "Minuto M07";
        QTest::newRow("empty ring") << 2 << "" << 0 << "Tiempo Alarma Corto";
    }
    void unreadableTexts() {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(int, check);
        QFETCH(QString, named);
        ClockSchedule s = unsetSchedule();
        if (field == 0)
            s.alarms[7] = {text, QStringLiteral("00"), check};
        else if (field == 1)
            s.alarms[7].minute = text;
        else
            s.shortRing = text;
        Module1 m;
        m.HoraAct = m.MinAct = m.SegAct = QStringLiteral("&H00");
        PrepararDatos(m, unsetSchedule());
        QCOMPARE(m.DatosTx.size(), kFrameLength);
        try {
            PrepararDatos(m, s);
            QFAIL("a frame was built");
        } catch (const Failure& f) {
            QVERIFY2(f.description().startsWith(named), qPrintable(f.description()));
        }
        QVERIFY(m.DatosTx.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "test_frame.moc"
