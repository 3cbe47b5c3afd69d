// The calendar engine: .ics reading, which rule decides a day, the rolling
// day an upload holds, and when a timed run uploads. Dates and times are
// those of Europe/Madrid, whatever the machine's zone.

#include "calendar/calendar.h"
#include "calendar/plan.h"
#include "calendar/rolling_day.h"
#include "calendar/upload_decision.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace horvex;

namespace {

QByteArray ics(const QByteArray& events) {
    return "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//colegio//ES\n" + events + "END:VCALENDAR\n";
}

QByteArray allDay(const char* summary, const char* start, const char* end) {
    return QByteArray("BEGIN:VEVENT\nSUMMARY:") + summary + "\nDTSTART;VALUE=DATE:" + start +
           "\nDTEND;VALUE=DATE:" + end + "\nEND:VEVENT\n";
}

// "02/05 08:00 12:00L": ring lengths, then bells (L: long) from slot 0.
ClockSchedule schedule(const QString& shorthand) {
    ClockSchedule s = unsetSchedule();
    const QStringList words = shorthand.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    s.shortRing = words[0].section(QLatin1Char('/'), 0, 0);
    s.longRing = words[0].section(QLatin1Char('/'), 1);
    for (qsizetype i = 1; i < words.size(); ++i)
        s.alarms[static_cast<std::size_t>(i - 1)] = {words[i].mid(0, 2), words[i].mid(3, 2),
                                                     words[i].endsWith(QLatin1Char('L')) ? 1 : 0};
    return s;
}

// The same form back, from the slots in order.
QString shorthand(const ClockSchedule& s) {
    QString out = s.shortRing + QLatin1Char('/') + s.longRing;
    for (const AlarmSlot& a : s.alarms)
        if (a.hour != kUnsetHour)
            out += QStringLiteral(" %1:%2%3").arg(a.hour, a.minute, a.check == 1 ? "L" : "");
    return out;
}

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

// A school's calendar: weekends, a range with a shorter one inside, two
// rules for one date, a holiday .ics and an exam .ics that clash once.
class School {
public:
    School() {
        write("calendario.ini",
              "; Colegio\n[Semana]\nlunes=guardado\nviernes=viernes.ini\n"
              "sabado=silencio\ndomingo=silencio\n\n[Fechas]\n"
              "2027-03-17=examenes.ini\n2027-03-19=silencio\n"
              "2027-03-15..2027-03-26=silencio\n"
              "2027-03-22..2027-03-24=examenes.ini\n2027-03-19=viernes.ini\n\n"
              "[Calendarios]\nfestivos.ics=silencio\nexamenes.ics=examenes.ini\n");
        write("viernes.ini", "[Timbres]\ncorto=02\nlargo=05\n08:00\n13:00 largo\n");
        write("examenes.ini", "[Timbres]\ncorto=03\nlargo=06\n09:00\n11:30\n");
        write("festivos.ics", ics(allDay("Día del Trabajo", "20270501", "20270502") +
                                  allDay("Semana cultural", "20270426", "20270501") +
                                  allDay("Fiesta local", "20270601", "20270602")));
        write("examenes.ics", ics(allDay("Examen", "20270428", "20270429") +
                                  allDay("Recuperación", "20270601", "20270602")));
    }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(dir_.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString dir() const { return dir_.path(); }
    Calendar load() const {
        return Calendar::load(path("calendario.ini"), schedule("02/05 08:00 12:00 14:00L"), true);
    }

private:
    QTemporaryDir dir_;
};

} // namespace

class TestCalendar : public QObject {
    Q_OBJECT
private slots:
    // Each row: what the events mark between `from` and `to` ("first+days"),
    // and what is said about the file ("line:words").
    void icsDays_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<QString>("notes");
        QTest::newRow("DTEND exclusive, libical's span is a day longer")
            << ics(allDay("uno", "20270513", "20270514") + allDay("tres", "20270701", "20270704"))
            << "2027-05-01"
            << "2027-05-13+1 2027-07-01+3"
            << "";
        QTest::newRow("no DTEND, DTEND equal to DTSTART")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:20270520\nEND:VEVENT\n" +
                   allDay("igual", "20270601", "20270601"))
            << "2027-05-01"
            << "2027-05-20+1 2027-06-01+1"
            << "";
        QTest::newRow("COUNT, EXDATE, a moved occurrence replaces libical's")
            << ics("BEGIN:VEVENT\nUID:s\nDTSTART;VALUE=DATE:20270104\nDTEND;VALUE=DATE:20270105\n"
                   "RRULE:FREQ=WEEKLY;COUNT=4\nEXDATE;VALUE=DATE:20270111\nEND:VEVENT\n"
                   "BEGIN:VEVENT\nUID:s\nRECURRENCE-ID;VALUE=DATE:20270118\n"
                   "DTSTART;VALUE=DATE:20270120\nEND:VEVENT\n")
            << "2027-01-01"
            << "2027-01-04+1 2027-01-20+1 2027-01-25+1"
            << "";
        QTest::newRow("UNTIL inclusive, two-day span repeated, one cancelled")
            << ics("BEGIN:VEVENT\nUID:t\nDTSTART;VALUE=DATE:20270104\nDTEND;VALUE=DATE:20270106\n"
                   "RRULE:FREQ=WEEKLY;UNTIL=20270118\nEND:VEVENT\nBEGIN:VEVENT\nUID:t\n"
                   "RECURRENCE-ID;VALUE=DATE:20270111\nDTSTART;VALUE=DATE:20270111\n"
                   "STATUS:CANCELLED\nEND:VEVENT\n" +
                   QByteArray("BEGIN:VEVENT\nSTATUS:CANCELLED\nDTSTART;VALUE=DATE:20270105\n"
                              "END:VEVENT\n"))
            << "2027-01-01"
            << "2027-01-04+2 2027-01-18+2"
            << "";
        QTest::newRow("timed events mark nothing")
            << ics("BEGIN:VEVENT\nSUMMARY:Claustro\nDTSTART:20270105T160000Z\n"
                   "DTEND:20270105T180000Z\nEND:VEVENT\n")
            << "2027-01-01"
            << ""
            << "4:«Claustro»: evento con hora (2027-01-05 16:00)";
        QTest::newRow("CRLF, folded lines, a stray Z on a date")
            << QByteArray("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:Fiesta de\r\n  "
                          "verano\r\nDTSTART;VALUE=DATE:2027\r\n 0801Z\r\nEND:VEVENT\r\n"
                          "END:VCALENDAR\r\n")
            << "2027-07-01"
            << "2027-08-01+1"
            << "";
        QTest::newRow("a year's edge, from the year before")
            << ics(allDay("Navidad", "20261223", "20270108")) << "2027-01-01"
            << "2026-12-23+16"
            << "";
        QTest::newRow("an all-day event every hour is an error")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:20270101\nRRULE:FREQ=HOURLY\nEND:VEVENT\n")
            << "2027-01-01"
            << ""
            << "4:un evento de día entero que se repite cada hora";
        QTest::newRow("not a calendar") << QByteArray("hola\n") << "2027-01-01"
                                        << ""
                                        << "0:no es un calendario iCalendar";
        QTest::newRow("a rule libical cannot read is an error")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:20271001\nRRULE:FREQ=A VECES\nEND:VEVENT\n")
            << "2027-09-01"
            << "2027-10-01+1"
            << "4:no se entiende: Can't parse as RECUR";
    }
    void icsDays() {
        QFETCH(QByteArray, text);
        QFETCH(QString, from);
        QFETCH(QString, marks);
        QFETCH(QString, notes);
        const IcsCalendar calendar = IcsCalendar::parse(text);
        const QDate first = QDate::fromString(from, Qt::ISODate);
        QStringList found;
        for (const IcsOccurrence& o : calendar.occurrences(first, first.addDays(90)))
            found << QStringLiteral("%1+%2").arg(o.first.toString(Qt::ISODate)).arg(o.days());
        found.sort();
        QCOMPARE(found.join(QLatin1Char(' ')), marks);
        QStringList said;
        for (const IcsNote& n : calendar.notes())
            said << QStringLiteral("%1:%2").arg(n.line).arg(n.text);
        QVERIFY2(notes.isEmpty() ? said.isEmpty() : said.value(0).startsWith(notes),
                 qPrintable(said.join(QLatin1Char('\n'))));
    }

    void precedence_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("bells");
        QTest::newRow("single date over ranges") << "2027-03-17"
                                                 << "examenes.ini"
                                                 << "[Fechas] 2027-03-17 (línea 9"
                                                 << "03/06 09:00 11:30";
        QTest::newRow("two for one date: the last") << "2027-03-19"
                                                    << "viernes.ini"
                                                    << "[Fechas] 2027-03-19 (línea 13"
                                                    << "02/05 08:00 13:00L";
        QTest::newRow("shorter range") << "2027-03-23"
                                       << "examenes.ini"
                                       << "[Fechas] 2027-03-22..2027-03-24"
                                       << "03/06 09:00 11:30";
        QTest::newRow("longer range") << "2027-03-25"
                                      << "silencio"
                                      << "[Fechas] 2027-03-15..2027-03-26"
                                      << "02/05";
        QTest::newRow("weekday") << "2027-04-02"
                                 << "viernes.ini"
                                 << "[Semana] viernes (línea 4"
                                 << "02/05 08:00 13:00L";
        QTest::newRow("no rule") << "2027-04-06"
                                 << "guardado"
                                 << "ninguna regla"
                                 << "02/05 08:00 12:00 14:00L";
        QTest::newRow("one-day event over a longer one")
            << "2027-04-28"
            << "examenes.ini"
            << "[Calendarios] examenes.ics (línea 17 de calendario.ini): «Examen», línea 4 de "
               "examenes.ics"
            << "03/06 09:00 11:30";
        QTest::newRow("longer event") << "2027-04-27"
                                      << "silencio"
                                      << "«Semana cultural»"
                                      << "02/05";
        QTest::newRow("events of one length: the last") << "2027-06-01"
                                                        << "examenes.ini"
                                                        << "«Recuperación»"
                                                        << "03/06 09:00 11:30";
    }
    void precedence() {
        QFETCH(QString, date);
        QFETCH(QString, value);
        QFETCH(QString, rule);
        QFETCH(QString, bells);
        const School school;
        const DayChoice day = school.load().day(QDate::fromString(date, Qt::ISODate));
        QCOMPARE(day.value.name(), value);
        QVERIFY2(day.rule.contains(rule), qPrintable(day.rule));
        QVERIFY(day.schedule);
        QCOMPARE(shorthand(*day.schedule), bells);
        const bool clash =
            QTest::currentDataTag() == QLatin1String("two for one date: the last") ||
            QTest::currentDataTag() == QLatin1String("events of one length: the last");
        QCOMPARE(day.overruled.size(), clash ? 1 : 0);
    }

    void checkNamesEveryProblem() {
        const School school;
        QCOMPARE(school.load().check(QDate(2027, 3, 1)).size(), 2u); // the two conflicts
        school.write("calendario.ini",
                     "x=1\n[Semana]\nmiércoles=guardado\nviernes=viernes.ini\n[Fechas]\n"
                     "2027-02-30=silencio\n2027-04-05..2027-03-29=silencio\n2027-3-1=silencio\n"
                     "2027-05-03=falta.ini\n2027-05-04=\n[Calendario]\n[Calendarios]\n"
                     "festivos.ics=silencio\nclaustros.ics=silencio\nfestivos.ics=guardado\n");
        school.write("viernes.ini", "[Timbres]\ncorto=02\nlargo=05\n8:00\n");
        school.write("claustros.ics", "BEGIN:VCALENDAR\nBEGIN:VEVENT\nSUMMARY:Claustro\n"
                                      "DTSTART:20270510T160000\nEND:VEVENT\nEND:VCALENDAR\n");
        QStringList said;
        for (const CalendarProblem& p : school.load().check(QDate(2027, 3, 1)))
            said << p.toString().remove(school.dir());
        QCOMPARE(said,
                 QStringList({
                     "/calendario.ini:1: «x=1» fuera de [Semana], [Fechas] o [Calendarios]",
                     "/calendario.ini:3: día de la semana desconocido «miércoles» (se escriben sin "
                     "acentos: lunes, martes, miercoles, jueves, viernes, sabado, domingo)",
                     "/calendario.ini:6: la fecha 2027-02-30 no existe",
                     "/calendario.ini:7: el rango 2027-04-05..2027-03-29 termina antes de empezar",
                     "/calendario.ini:8: «2027-3-1» no es una fecha AAAA-MM-DD ni un rango "
                     "AAAA-MM-DD..AAAA-MM-DD",
                     "/calendario.ini:9: /falta.ini no existe",
                     "/calendario.ini:10: 2027-05-04: falta el horario: un archivo de horario, "
                     "silencio o guardado",
                     "/calendario.ini:11: sección [Calendario] desconocida: un calendario tiene "
                     "[Semana], [Fechas] y [Calendarios]",
                     "aviso: /claustros.ics:2: «Claustro»: evento con hora (2027-05-10 16:00), no "
                     "marca ningún día",
                     "/viernes.ini:4: hora «8» (la lista ofrece 00 a 24)",
                     "/calendario.ini:15: conflicto el 2027-04-26 y 6 días más: [Calendarios] "
                     "festivos.ics=silencio (línea 13): «Semana cultural», línea 9 de festivos.ics "
                     "y [Calendarios] festivos.ics=guardado (línea 15): «Semana cultural», línea 9 "
                     "de festivos.ics dan horarios distintos; gana la escrita después",
                 }));
    }

    void planAndDay() {
        const School school;
        const Calendar calendar = school.load();
        const QStringList plan = planText(calendar, 2027, 3, QDate(2027, 3, 19)).split('\n');
        QCOMPARE(plan.mid(0, 12).join('\n'),
                 QStringLiteral("        marzo 2027\n"
                                "lu  ma  mi  ju  vi  sá  do\n"
                                " 1.  2.  3.  4.  5V  6-  7-\n"
                                " 8.  9. 10. 11. 12V 13- 14-\n"
                                "15- 16- 17E 18- 19! 20- 21-\n"
                                "22E 23E 24E 25- 26- 27- 28-\n"
                                "29. 30. 31.\n\n"
                                ". guardado   - silencio   V viernes.ini   E examenes.ini   ! "
                                "conflicto\n\n"
                                "Próximos 7 días:\n"
                                "vi 2027-03-19 ! viernes.ini  [Fechas] 2027-03-19 (línea 13 de "
                                "calendario.ini)"));
        QCOMPARE(plan.size(), 19); // six more days and the final newline
        QCOMPARE(dayText(calendar, QDate(2027, 3, 19)),
                 QStringLiteral("2027-03-19 viernes: viernes.ini\n"
                                "Regla: [Fechas] 2027-03-19 (línea 13 de calendario.ini)\n"
                                "Conflicto: también [Fechas] 2027-03-19=silencio (línea 10); gana "
                                "la escrita después\n"
                                "Timbres (corto 02, largo 05):\n  08:00 corto\n  13:00 largo\n"));
    }

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

QTEST_GUILESS_MAIN(TestCalendar)
#include "test_calendar.moc"
