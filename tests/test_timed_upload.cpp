// A timed upload: the rolling day it sends, and whether it sends now. Dates
// and times are those of Europe/Madrid, whatever the machine's zone.

#include "calendar/rolling_day.h"
#include "calendar/upload_decision.h"
#include "calendar_texts.h"

#include <QTest>
#include <QTimeZone>

using namespace horvex;
using namespace horvex::testing;

namespace {

// Local Madrid time, or an instant when it ends in "Z" or an offset.
QDateTime madrid(const QString& iso) {
    static const QTimeZone zone("Europe/Madrid");
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    return t.timeSpec() == Qt::LocalTime ? QDateTime(t.date(), t.time(), zone) : t.toTimeZone(zone);
}

DayChoice dayOf(const QString& date, const QString& shorthand) {
    DayChoice d;
    d.date = QDate::fromString(date, Qt::ISODate);
    d.value = {DayValue::Kind::File, date + QStringLiteral(".ini")};
    d.schedule = schedule(shorthand);
    return d;
}

} // namespace

class TestTimedUpload : public QObject {
    Q_OBJECT
private slots:
    // today's bells after T, then tomorrow's up to T; the next bell's rings.
    void rollingDay_data() {
        QTest::addColumn<QString>("today");
        QTest::addColumn<QString>("tomorrow");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<int>("left");
        QTest::newRow("a bell at T has rung") << "02/05 08:00 09:00"
                                              << "03/06 07:00 08:00L 10:00"
                                              << "2027-03-17T08:00:30"
                                              << "02/05 09:00 07:00 08:00L" << 0;
        QTest::newRow("after the last bell: tomorrow's rings") << "02/05 08:00"
                                                               << "03/06 07:00L 21:00"
                                                               << "2027-03-17T20:00:00"
                                                               << "03/06 07:00L" << 0;
        QTest::newRow("midnight") << "02/05 00:00 08:00"
                                  << "02/05 00:00 09:00"
                                  << "2027-03-18T00:00:00"
                                  << "02/05 08:00 00:00" << 0;
        QTest::newRow("spring forward: 02:30 never comes today") << "02/05 02:30 08:00"
                                                                 << "02/05 02:30 09:00"
                                                                 << "2027-03-28T03:00:10"
                                                                 << "02/05 08:00 02:30" << 0;
        QTest::newRow("fall back: the second 02:30") << "02/05 02:00 03:00"
                                                     << "02/05 02:00 03:00L"
                                                     << "2027-10-31T01:30:00Z"
                                                     << "02/05 03:00 02:00" << 0;
    }
    void rollingDay() {
        QFETCH(QString, today);
        QFETCH(QString, tomorrow);
        QFETCH(QString, at);
        QFETCH(QString, sent);
        QFETCH(int, left);
        const QDateTime t = madrid(at);
        const RollingDay r =
            horvex::rollingDay(dayOf(t.date().toString(Qt::ISODate), today),
                               dayOf(t.date().addDays(1).toString(Qt::ISODate), tomorrow), t);
        QCOMPARE(shorthand(r.schedule), sent);
        QCOMPARE(static_cast<int>(r.left.size()), left);
    }

    void moreThan36Bells() {
        QString today = QStringLiteral("02/05"), tomorrow = QStringLiteral("02/05");
        for (int i = 0; i < 30; ++i)
            today +=
                QStringLiteral(" %1:%2").arg(10 + i / 6).arg(i % 6 * 10, 2, 10, QLatin1Char('0'));
        for (int i = 0; i < 10; ++i)
            tomorrow += QStringLiteral(" 0%1:00").arg(i);
        const RollingDay r =
            horvex::rollingDay(dayOf("2027-03-17", today), dayOf("2027-03-18", tomorrow),
                               madrid("2027-03-17T09:30:00"));
        QCOMPARE(shorthand(r.schedule).right(11), QStringLiteral("04:00 05:00"));
        QCOMPARE(r.left.size(), 4u);
        QCOMPARE(r.left.front().toString(), QStringLiteral("06:00 corto"));
        QCOMPARE(r.left.front().day, QDate(2027, 3, 18));
    }

    void ifNeeded_data() {
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("heldAt"); // empty: no upload recorded
        QTest::addColumn<QString>("held");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QString>("calendar");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason");
        const QString normal = QStringLiteral("02/05 08:00 12:00 14:00L");
        const int upload = int(UploadDecision::Verdict::Upload),
                  keep = int(UploadDecision::Verdict::Keep),
                  wait = int(UploadDecision::Verdict::Wait);
        QTest::newRow("nothing recorded")
            << "2027-03-17T06:00:00"
            << ""
            << "" << false << normal << upload << "no consta ningún envío";
        QTest::newRow("first of the day")
            << "2027-03-17T06:00:00"
            << "2027-03-16T18:00:00+01:00" << normal << false << normal << upload
            << "todavía no se ha enviado nada hoy";
        QTest::newRow("same bells") << "2027-03-17T06:00:00"
                                    << "2027-03-17T00:10:00+01:00" << normal << false << normal
                                    << keep << "suena como el calendario";
        QTest::newRow("a bell more, later today")
            << "2027-03-17T06:00:00"
            << "2027-03-17T00:10:00+01:00" << normal << false << "02/05 08:00 12:00 13:00 14:00L"
            << keep
            << "a las 13:00 (el calendario tiene 13:00 corto y el reloj no): se enviará "
               "después del último timbre de hoy, a las 14:00";
        QTest::newRow("a bell more, soon")
            << "2027-03-17T12:45:00"
            << "2027-03-17T00:10:00+01:00" << normal << false << "02/05 08:00 12:00 13:00 14:00L"
            << upload << "el calendario tiene 13:00 corto y el reloj no";
        QTest::newRow("a ring length")
            << "2027-03-17T07:45:00"
            << "2027-03-17T00:10:00+01:00" << normal << false << "03/05 08:00 12:00 14:00L"
            << upload << "timbre corto 02 en el reloj y 03";
        QTest::newRow("clocks changed") << "2027-03-28T06:00:00"
                                        << "2027-03-28T00:10:00+01:00" << normal << false << normal
                                        << upload << "pasó de UTC+01:00 a UTC+02:00";
        QTest::newRow("a bell to send is near") << "2027-03-17T07:59:10"
                                                << "2027-03-16T18:00:00+01:00" << normal << false
                                                << normal << wait << "a las 08:00, a menos";
        QTest::newRow("a held bell is near on the clock's time")
            << "2027-03-28T09:00:30"
            << "2027-03-28T00:10:00+01:00"
            << "02/05 08:00" << false << "02/05 10:30" << wait << "a las 08:00, a menos";
        QTest::newRow("the window's upload holds")
            << "2027-03-17T13:00:00"
            << "2027-03-17T10:00:00+01:00"
            << "02/05 12:00 14:00" << true << normal << keep
            << "manda hasta su último timbre de hoy, a las 14:00";
        QTest::newRow("then the calendar takes over")
            << "2027-03-17T14:05:00"
            << "2027-03-17T10:00:00+01:00"
            << "02/05 12:00 14:00" << true << normal << upload
            << "el 2027-03-18 a las 08:00: el calendario tiene 08:00 corto y el reloj no";
    }
    void ifNeeded() {
        QFETCH(QString, now);
        QFETCH(QString, heldAt);
        QFETCH(QString, held);
        QFETCH(bool, window);
        QFETCH(QString, calendar);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        std::optional<HeldUpload> last;
        if (!heldAt.isEmpty())
            last = HeldUpload{
                QDateTime::fromString(heldAt, Qt::ISODate), schedule(held), window, {}, {}};
        const UploadDecision d = decideUpload(madrid(now), last, schedule(calendar));
        QVERIFY2(d.reason.contains(reason), qPrintable(d.reason));
        QCOMPARE(int(d.verdict), verdict);
    }
};

QTEST_GUILESS_MAIN(TestTimedUpload)
#include "test_timed_upload.moc"
