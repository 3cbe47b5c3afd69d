// A timed upload: the rolling day it sends, and whether it sends now. Dates
// and times are those of Europe/Madrid, whatever the machine's zone.

#include "calendar/ready_until.h"
#include "calendar/rolling_day.h"
#include "calendar/upload_decision.h"
#include "calendar_texts.h"

#include <QFile>
#include <QTemporaryDir>
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

const QString kNormal = QStringLiteral("02/05 08:00 12:00 14:00L");

// A school with free weekends (2027-03-19 is a Friday), a free holiday week,
// a free Monday and a summer longer than the rolling day looks ahead.
class School {
public:
    School() {
        write("calendario.ini",
              "[Semana]\nlunes=guardado\nmartes=guardado\nmiercoles=guardado\n"
              "jueves=guardado\nviernes=viernes.ini\nsabado=libre\n"
              "domingo=libre\n[Fechas]\n2027-03-29..2027-04-02=libre\n"
              "2027-04-12=libre\n2027-06-24..2027-10-31=libre\n2027-05-03=largo.ini\n");
        write("largo.ini", "[Timbres]\ncorto=02\nlargo=07\n08:00 largo\n09:00\n");
        write("viernes.ini", "[Timbres]\ncorto=02\nlargo=05\n08:00\n09:30\n11:00 largo\n12:30\n");
        calendar_ = Calendar::load(dir_.filePath("calendario.ini"), schedule(kStored), true);
    }
    static inline const QString kStored = QStringLiteral("02/05 08:00 09:00 10:00 11:00 14:00L");
    const Calendar& calendar() const { return *calendar_; }

private:
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(dir_.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QTemporaryDir dir_;
    std::optional<Calendar> calendar_;
};

// "school" for the school's calendar, else one schedule every day.
Expectation expecting(const QString& calendar, const School& school) {
    if (calendar == QLatin1String("school"))
        return {&school.calendar(), schedule(School::kStored), QStringLiteral("el calendario")};
    return {nullptr, schedule(calendar), QStringLiteral("el calendario")};
}

std::optional<HeldUpload> heldOf(const QString& at, const QString& held, bool window = false) {
    if (at.isEmpty())
        return std::nullopt;
    return HeldUpload{QDateTime::fromString(at, Qt::ISODate), schedule(held), window, {}, {}};
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
        QTest::newRow("no bells left: the rings of tomorrow's bell of this minute")
            << "02/05 07:00"
            << "03/06 08:00L 09:00"
            << "2027-03-17T08:00:30"
            << "03/06 08:00L" << 0;
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

    // For each time of day, the bell of the first day from T on that is not free.
    void rollingDayOverFreeDays_data() {
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("rules");
        QTest::newRow("Friday at 10:30: Monday's up to 10:30")
            << "2027-03-19T10:30:00"
            << "02/05 11:00L 12:30 08:00 09:00 10:00"
            << "hoy 2027-03-19 viernes.ini: [Semana] viernes (línea 6 de calendario.ini); lunes "
               "2027-03-22 guardado: [Semana] lunes (línea 2 de calendario.ini); libres: "
               "2027-03-20..2027-03-21";
        QTest::newRow("Friday after its last bell: Monday's")
            << "2027-03-19T15:00:00"
            << "02/05 08:00 09:00 10:00 11:00 14:00L"
            << "libres: 2027-03-20..2027-03-21";
        QTest::newRow("Saturday: all of Monday's")
            << "2027-03-20T09:00:00"
            << "02/05 10:00 11:00 14:00L 08:00 09:00"
            << "lunes 2027-03-22 guardado: [Semana] lunes (línea 2 de calendario.ini); libres: "
               "2027-03-20..2027-03-21";
        QTest::newRow("before a holiday over the change of time: an hour earlier on the clock")
            << "2027-03-26T16:00:00"
            << "02/05 07:00 08:00 09:00 10:00 13:00L"
            << "lunes 2027-04-05 guardado";
        QTest::newRow("in the holiday week") << "2027-04-01T10:30:00"
                                             << "02/05 11:00 14:00L 08:00 09:00 10:00"
                                             << "libres: 2027-04-01..2027-04-04";
        QTest::newRow("a free Monday: Tuesday's") << "2027-04-09T13:00:00"
                                                  << "02/05 08:00 09:00 10:00 11:00"
                                                  << "martes 2027-04-13 guardado";
        QTest::newRow("a summer past the look-ahead: no bell") << "2027-06-24T09:00:00"
                                                               << "02/05"
                                                               << "libres: 2027-06-24..2027-10-23";
    }
    void rollingDayOverFreeDays() {
        QFETCH(QString, at);
        QFETCH(QString, sent);
        QFETCH(QString, rules);
        const School school;
        const RollingDay r = horvex::rollingDay(school.calendar(), madrid(at));
        QCOMPARE(shorthand(r.schedule), sent);
        QVERIFY2(rulesText(r).contains(rules), qPrintable(rulesText(r)));
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
        QTest::addColumn<QString>("calendar"); // "school", or one schedule every day
        QTest::addColumn<int>("verdict");
        QTest::addColumn<QString>("reason");
        const QString normal = kNormal, more = QStringLiteral("02/05 08:00 12:00 13:00 14:00L");
        const QString night = QStringLiteral("2027-03-17T00:10:00+01:00"),
                      yesterday = QStringLiteral("2027-03-16T18:00:00+01:00");
        const int upload = int(UploadDecision::Verdict::Upload),
                  keep = int(UploadDecision::Verdict::Keep),
                  wait = int(UploadDecision::Verdict::Wait);
        QTest::newRow("nothing recorded")
            << "2027-03-17T06:00:00"
            << ""
            << "" << false << normal << upload << "no consta ningún envío";
        QTest::newRow("first of the day")
            << "2027-03-17T06:00:00" << yesterday << normal << false << normal << upload
            << "todavía no se ha enviado nada hoy";
        QTest::newRow("same bells")
            << "2027-03-17T06:00:00" << night << normal << false << normal << keep
            << "suena como el calendario hasta el 2027-03-18 a las 06:00";
        QTest::newRow("a bell more, later today: 20 minutes before it")
            << "2027-03-17T06:00:00" << night << normal << false << more << keep
            << "el 2027-03-17 a las 13:00 (el calendario tiene 13:00 corto y el reloj no): se "
               "enviará a las 12:45, para no";
        QTest::newRow("a bell more tomorrow: after today's last")
            << "2027-03-17T09:00:00" << night << "02/05 07:00 08:00 12:00 14:00L" << false << normal
            << keep
            << "el 2027-03-18 a las 07:00 (el reloj tiene 07:00 corto y el calendario no): se "
               "enviará a las 14:15, después del último timbre de hoy (14:00), para no";
        QTest::newRow("20 minutes ahead exactly: now")
            << "2027-03-17T10:45:00" << night << normal << false << "02/05 08:00 11:05 12:00 14:00L"
            << upload << "a las 11:05";
        QTest::newRow("21 minutes ahead: at the next run")
            << "2027-03-17T10:44:00" << night << normal << false << "02/05 08:00 11:05 12:00 14:00L"
            << keep << "se enviará en la próxima pasada, a las 10:45";
        QTest::newRow("a ring length")
            << "2027-03-17T07:45:00" << night << normal << false << "03/05 08:00 12:00 14:00L"
            << upload << "timbre corto 02 en el reloj y 03";
        QTest::newRow("clocks changed") << "2027-03-28T06:00:00"
                                        << "2027-03-28T00:10:00+01:00" << normal << false << normal
                                        << upload << "pasó de UTC+01:00 a UTC+02:00";
        QTest::newRow("60 s before a bell: now")
            << "2027-03-17T07:59:00" << yesterday << normal << false << normal << upload << "";
        QTest::newRow("59 s before a bell: after it")
            << "2027-03-17T07:59:01" << yesterday << normal << false << normal << wait
            << "pero el calendario tiene un timbre el 2027-03-17 a las 08:00, a menos de un "
               "minuto: se enviará a las 08:15.";
        QTest::newRow("59 s after a bell") << "2027-03-17T08:00:59" << yesterday << normal << false
                                           << normal << wait << "a las 08:00, a menos";
        QTest::newRow("60 s after a bell: now")
            << "2027-03-17T08:01:00" << yesterday << normal << false << normal << upload << "";
        QTest::newRow("a bell at midnight, 30 s ahead")
            << "2027-03-17T23:59:30" << night << normal << false << "02/05 00:00 08:00" << wait
            << "(lo que tiene el reloj sonaría distinto del calendario el 2027-03-18 a las 12:00: "
               "el reloj tiene 12:00 corto y el calendario no), pero el calendario tiene un timbre "
               "el 2027-03-18 a las 00:00, a menos de un minuto: se enviará el 2027-03-18 a las "
               "00:15.";
        QTest::newRow("nothing recorded, a bell rang 20 s ago")
            << "2027-03-17T11:15:20"
            << ""
            << "" << false << "02/05 08:00 11:15" << wait
            << "el calendario tiene un timbre el 2027-03-17 a las 11:15";
        QTest::newRow("at a bell's minute: the difference after it")
            << "2027-03-17T08:00:00" << night << "02/05 08:00L 12:00 14:00L" << false << normal
            << keep << "el 2027-03-18 a las 08:00 (el reloj tiene 08:00 largo y el calendario no)";
        QTest::newRow("a held bell is near on the clock's time")
            << "2027-03-28T09:00:30"
            << "2027-03-28T00:10:00+01:00"
            << "02/05 08:00" << false << "02/05 10:30" << wait
            << "el reloj tiene un timbre a las 08:00 (a su hora), a menos de un minuto";
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
        // Free days: what the clock rings on them does not count.
        const QString friday = QStringLiteral("02/05 08:00 09:30 11:00L 12:30"),
                      monday = QStringLiteral("02/05 08:00 09:00 10:00 11:00 14:00L");
        QTest::newRow("Friday after its bells: Monday's now")
            << "2027-03-19T15:00:00"
            << "2027-03-19T00:10:00+01:00" << friday << false << "school" << upload
            << "el 2027-03-22 a las 09:00: el calendario tiene 09:00 corto y el reloj no";
        QTest::newRow("Friday in class: after its last bell")
            << "2027-03-19T10:30:00"
            << "2027-03-19T00:10:00+01:00" << friday << false << "school" << keep
            << "el 2027-03-22 a las 09:00 (el calendario tiene 09:00 corto y el reloj no): se "
               "enviará a las 12:45, después del último timbre de hoy (12:30)";
        QTest::newRow("Saturday holding Monday's")
            << "2027-03-20T10:00:00"
            << "2027-03-20T00:10:00+01:00" << monday << false << "school" << keep
            << "suena como el calendario hasta el "
               "2027-03-22 a las 10:00";
        QTest::newRow("Saturday holding Friday's: now, no class to spare")
            << "2027-03-20T10:00:00"
            << "2027-03-20T00:10:00+01:00" << friday << false << "school" << upload
            << "el 2027-03-22 a las 09:00";
        QTest::newRow("holiday week holding the Monday after")
            << "2027-03-31T10:00:00"
            << "2027-03-31T00:10:00+02:00" << monday << false << "school" << keep
            << "hasta el 2027-04-05 a las 10:00";
        QTest::newRow("Friday before a holiday over the change of time")
            << "2027-03-26T15:00:00"
            << "2027-03-26T00:10:00+01:00" << friday << false << "school" << upload
            << "el 2027-04-05 a las 08:00: el calendario tiene 08:00 corto";
        QTest::newRow("a Monday of other ring lengths: no frame is right before Friday's end")
            << "2027-04-30T10:30:00"
            << "2027-04-30T00:10:00+02:00" << friday << false << "school" << keep
            << "el 2027-05-03 a las 08:00 (el reloj tiene 08:00 corto y el calendario no), pero un "
               "envío ahora sonaría igual de distinto";
        QTest::newRow("Friday before a free Monday")
            << "2027-04-09T15:00:00"
            << "2027-04-09T00:10:00+02:00" << friday << false << "school" << upload
            << "el 2027-04-13 a las 09:00";
    }
    void ifNeeded() {
        QFETCH(QString, now);
        QFETCH(QString, heldAt);
        QFETCH(QString, held);
        QFETCH(bool, window);
        QFETCH(QString, calendar);
        QFETCH(int, verdict);
        QFETCH(QString, reason);
        const School school;
        const UploadDecision d =
            decideUpload(madrid(now), heldOf(heldAt, held, window), expecting(calendar, school));
        QVERIFY2(d.reason.contains(reason), qPrintable(d.reason));
        QCOMPARE(int(d.verdict), verdict);
    }

    // The first minute the clock rings otherwise than the calendar.
    void readyUntil_data() {
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("heldAt");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("calendar");
        QTest::addColumn<QString>("ready");
        QTest::newRow("nothing recorded")
            << "2027-04-05T06:00:00"
            << ""
            << "" << kNormal << "no está listo: no se sabe qué tiene el reloj";
        QTest::newRow("the same every day") << "2027-04-05T06:00:00"
                                            << "2027-04-05T00:10:00+02:00" << kNormal << kNormal
                                            << "listo para 31 días, hasta el 2027-05-06 a las "
                                               "06:00 por lo menos";
        QTest::newRow("a bell this minute has rung")
            << "2027-04-05T08:00:30"
            << "2027-04-05T00:10:00+02:00"
            << "02/05 12:00 14:00L" << kNormal << "listo hasta el 2027-04-06 a las 08:00";
        QTest::newRow("the clocks change") << "2027-03-17T06:00:00"
                                           << "2027-03-17T00:10:00+01:00" << kNormal << kNormal
                                           << "listo hasta el 2027-03-28 a las 08:00";
        QTest::newRow("Friday after its bells, over the weekend")
            << "2027-03-19T15:00:00"
            << "2027-03-19T15:00:00+01:00"
            << "02/05 08:00 09:00 10:00 11:00 14:00L"
            << "school"
            << "listo hasta el 2027-03-26 a las 09:00";
        QTest::newRow("Friday at 10:30") << "2027-03-19T10:30:30"
                                         << "2027-03-19T10:30:30+01:00"
                                         << "02/05 11:00L 12:30 08:00 09:00 10:00"
                                         << "school"
                                         << "listo hasta el 2027-03-22 a las 11:00";
        QTest::newRow("over a holiday and the change of time")
            << "2027-03-26T15:00:00"
            << "2027-03-26T15:00:00+01:00"
            << "02/05 07:00 08:00 09:00 10:00 13:00L"
            << "school"
            << "listo hasta el 2027-04-09 a las 09:00";
        QTest::newRow("into the summer") << "2027-06-20T10:00:00"
                                         << "2027-06-20T00:10:00+02:00"
                                         << "02/05 08:00 09:00 10:00 11:00 14:00L"
                                         << "school"
                                         << "listo para 31 días";
    }
    void readyUntil() {
        QFETCH(QString, now);
        QFETCH(QString, heldAt);
        QFETCH(QString, held);
        QFETCH(QString, calendar);
        QFETCH(QString, ready);
        const School school;
        const Expectation e = expecting(calendar, school);
        const QDateTime t = madrid(now);
        const QString text =
            readyUntilText(horvex::readyUntil(e.calendar, e.fixed, heldOf(heldAt, held), t), t);
        QVERIFY2(text.startsWith(ready), qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(TestTimedUpload)
#include "test_timed_upload.moc"
