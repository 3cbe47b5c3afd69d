#include "clocklink/frame.h"
#include "schedule/failure.h"

#include <QTest>

using namespace horvex;

namespace {

ClockSchedule defaults() {
    ClockSchedule s;
    for (AlarmSlot& slot : s.alarms)
        slot = {QStringLiteral("24"), QStringLiteral("00"), 0};
    s.shortRing = QStringLiteral("02");
    s.longRing = QStringLiteral("05");
    return s;
}

QByteArray build(const ClockSchedule& s) {
    return buildFrame(s, QStringLiteral("&H14"), QStringLiteral("&H05"), QStringLiteral("&H09"));
}

quint8 at(const QByteArray& frame, int offset) {
    return static_cast<quint8>(frame.at(offset));
}

} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void workedExample() {
        ClockSchedule s = defaults();
        s.alarms[0] = {QStringLiteral("07"), QStringLiteral("30"), 1};
        s.alarms[1] = {QStringLiteral("12"), QStringLiteral("00"), 0};

        QByteArray expected = QByteArray::fromHex("02443539B7604230");
        for (int i = 2; i < kSlots; ++i)
            expected += QByteArray::fromHex("5430");
        expected += QByteArray::fromHex("3235") + "KT\r\n";

        const QByteArray frame = build(s);
        QCOMPARE(frame.size(), kFrameLength);
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }

    void framingAndDefaults() {
        const QByteArray frame = build(defaults());
        QCOMPARE(frame.size(), kFrameLength);
        QCOMPARE(at(frame, 0), 0x02);
        for (int i = 0; i < kSlots; ++i) {
            QCOMPARE(at(frame, 4 + 2 * i), 0x54);
            QCOMPARE(at(frame, 5 + 2 * i), 0x30);
        }
        QCOMPARE(frame.mid(78), QByteArray("KT\r\n"));
        // No framing byte can hide inside the values.
        for (int i = 1; i < 78; ++i)
            QVERIFY(at(frame, i) >= 0x30);
    }

    void valueBytes_data() {
        QTest::addColumn<QString>("hour");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<int>("check");
        QTest::addColumn<int>("hourByte");
        QTest::addColumn<int>("minuteByte");
        QTest::newRow("24 long") << "24"
                                 << "00" << 1 << 0xD4 << 0x30;
        QTest::newRow("00 long") << "00"
                                 << "00" << 1 << 0xB0 << 0x30;
        QTest::newRow("minute 60") << "23"
                                   << "60" << 0 << 0x53 << 0x90;
        QTest::newRow("minute 50") << "00"
                                   << "50" << 0 << 0x30 << 0x80;
        QTest::newRow("minute 59") << "00"
                                   << "59" << 0 << 0x30 << 0x89;
        QTest::newRow("greyed box") << "12"
                                    << "00" << 2 << 0x42 << 0x30;
        QTest::newRow("one digit") << "7"
                                   << "5" << 0 << 0x37 << 0x35;
    }
    void valueBytes() {
        QFETCH(QString, hour);
        QFETCH(QString, minute);
        QFETCH(int, check);
        QFETCH(int, hourByte);
        QFETCH(int, minuteByte);
        ClockSchedule s = defaults();
        s.alarms[17] = {hour, minute, check};
        const QByteArray frame = build(s);
        QCOMPARE(frame.size(), kFrameLength);
        QCOMPARE(int(at(frame, 4 + 2 * 17)), hourByte);
        QCOMPARE(int(at(frame, 5 + 2 * 17)), minuteByte);
        QCOMPARE(at(frame, 4 + 2 * 16), 0x54); // neighbours untouched
        QCOMPARE(at(frame, 4 + 2 * 18), 0x54);
    }

    void timeOfDayAndRings() {
        ClockSchedule s = defaults();
        s.shortRing = QStringLiteral("15");
        s.longRing = QStringLiteral("01");
        const QByteArray midnight =
            buildFrame(s, QStringLiteral("&H00"), QStringLiteral("&H00"), QStringLiteral("&H00"));
        QCOMPARE(midnight.mid(1, 3), QByteArray("000"));
        QCOMPARE(at(midnight, 76), 0x45);
        QCOMPARE(at(midnight, 77), 0x31);
        const QByteArray late =
            buildFrame(s, QStringLiteral("&H23"), QStringLiteral("&H59"), QStringLiteral("&H59"));
        QCOMPARE(late.mid(1, 3).toHex(), QByteArray("538989"));
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
        QTest::newRow("three digits") << 1 << "100" << 0 << "Minuto M07";
        QTest::newRow("sign") << 1 << "-1" << 0 << "Minuto M07";
        QTest::newRow("blank") << 1 << " 7" << 0 << "Minuto M07";
        QTest::newRow("long overflow") << 0 << "99" << 1 << "Hora H07";
        QTest::newRow("empty ring") << 2 << "" << 0 << "Tiempo Alarma Corto";
    }
    void unreadableTexts() {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(int, check);
        QFETCH(QString, named);
        ClockSchedule s = defaults();
        if (field == 0)
            s.alarms[7] = {text, QStringLiteral("00"), check};
        else if (field == 1)
            s.alarms[7].minute = text;
        else
            s.shortRing = text;
        try {
            build(s);
            QFAIL("a frame was built");
        } catch (const Failure& f) {
            QVERIFY2(f.description().startsWith(named), qPrintable(f.description()));
        }
    }

    void timeTextsNeedTheirMark() {
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 buildFrame(defaults(), QStringLiteral("14"),
                                            QStringLiteral("&H05"), QStringLiteral("&H09")));
        QVERIFY_THROWS_EXCEPTION(Failure, buildFrame(defaults(), QStringLiteral("&H14"),
                                                     QStringLiteral("&H05"), QString()));
    }

    void prepararDatosLeavesNothingToSendOnFailure() {
        Module1 m;
        m.HoraAct = QStringLiteral("&H14");
        m.MinAct = QStringLiteral("&H05");
        m.SegAct = QStringLiteral("&H09");
        PrepararDatos(m, defaults());
        QCOMPARE(m.DatosTx.size(), kFrameLength);

        ClockSchedule broken = defaults();
        broken.alarms[35].minute.clear();
        QVERIFY_THROWS_EXCEPTION(Failure, PrepararDatos(m, broken));
        QVERIFY(m.DatosTx.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "test_frame.moc"
