// The calendar: which rule decides a day, every problem of its files named,
// and the month plan.

#include "calendar/calendar.h"
#include "calendar/calendar_edit.h"
#include "calendar/plan.h"
#include "calendar_texts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace horvex;
using namespace horvex::testing;

namespace {

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
                     "silencio, libre o guardado",
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

    // Faults of calendario.ini alone: each row the text after [Semana], the
    // day asked for, its value, and every problem check() finds that day.
    void calendarLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("problems");
        const QDate wed(2027, 3, 3);
        QTest::newRow("a range of one day")
            << QByteArray("[Fechas]\n2027-03-03..2027-03-03=silencio\n") << wed << "silencio"
            << QStringList();
        QTest::newRow("lines under an unknown section: one problem, no rule")
            << QByteArray("[Calendario]\nfestivos.ics=silencio\nmiercoles=silencio\nx\n") << wed
            << "guardado"
            << QStringList{"2: sección [Calendario] desconocida: un calendario tiene [Semana], "
                           "[Fechas] y [Calendarios]"};
        for (int i = 0; i < 7; ++i)
            QTest::newRow(qPrintable(QStringLiteral("a weekday conflict, today %1").arg(i)))
                << QByteArray("lunes=guardado\nlunes=silencio\n") << wed.addDays(i) << "guardado"
                << QStringList{"3: conflicto: [Semana] lunes=guardado (línea 2) y [Semana] "
                               "lunes=silencio (línea 3) dan horarios distintos; gana la escrita "
                               "después"};
        QTest::newRow("ranges of one length, one shorter inside")
            << QByteArray(
                   "[Fechas]\n2027-03-01..2027-03-10=silencio\n2027-03-05..2027-03-14=x.ini\n"
                   "2027-03-07..2027-03-08=guardado\n")
            << wed << "silencio"
            << QStringList{"4: conflicto el 2027-03-05 y 3 días más: [Fechas] "
                           "2027-03-01..2027-03-10=silencio (línea 3) y [Fechas] "
                           "2027-03-05..2027-03-14=x.ini (línea 4) dan horarios distintos; gana la "
                           "escrita después"};
        QByteArray many("[Fechas]\n");
        for (int i = 0; i < 2001; ++i)
            many += datesKey(wed.addDays(i), wed.addDays(i + 3000)).toLatin1() +
                    (i % 2 == 0 ? "=guardado\n" : "=silencio\n");
        QTest::newRow("thousands of long ranges: rules and conflicts bounded")
            << many << wed << "guardado"
            << QStringList{"2003: más de 2000 reglas: esta y las siguientes no se leen"};
    }
    void calendarLines() {
        QFETCH(QByteArray, text);
        QFETCH(QDate, today);
        QFETCH(QString, value);
        QFETCH(QStringList, problems);
        const School school;
        school.write("calendario.ini", "[Semana]\n" + text);
        school.write("x.ini", "[Timbres]\ncorto=02\nlargo=05\n08:00\n");
        const Calendar calendar = school.load();
        QCOMPARE(calendar.day(QDate(2027, 3, 3)).value.name(), value);
        QStringList said;
        for (const CalendarProblem& p : calendar.check(today))
            said << p.toString().remove(school.path("calendario.ini") + ":");
        if (said.size() > 100) // then 100 conflicts named, and that there are more
            QCOMPARE(said.mid(problems.size() + 100),
                     QStringList{" y más conflictos: se nombran los 100 primeros"});
        QCOMPARE(said.size() > 100 ? said.mid(0, problems.size()) : said, problems);
    }

    // A free day in each section, whatever the case, checked without a problem.
    void libreInEverySection_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("rule");
        QTest::newRow("weekday") << "2027-03-20"
                                 << "[Semana] sabado";
        QTest::newRow("range") << "2027-03-23"
                               << "[Fechas] 2027-03-22..2027-03-26";
        QTest::newRow("date") << "2027-03-17"
                              << "[Fechas] 2027-03-17";
        QTest::newRow(".ics event") << "2027-05-01"
                                    << "[Calendarios] festivos.ics";
    }
    void libreInEverySection() {
        QFETCH(QString, date);
        QFETCH(QString, rule);
        const School school;
        school.write("calendario.ini", "[Semana]\nsabado=libre\n[Fechas]\n2027-03-17=LIBRE\n"
                                       "2027-03-22..2027-03-26=libre\n[Calendarios]\n"
                                       "festivos.ics=Libre\n");
        const Calendar calendar = school.load();
        QVERIFY(calendar.check(QDate(2027, 3, 1)).empty());
        const DayChoice day = calendar.day(QDate::fromString(date, Qt::ISODate));
        QCOMPARE(day.value.name(), QStringLiteral("libre"));
        QVERIFY2(day.rule.contains(rule), qPrintable(day.rule));
        QVERIFY(day.schedule && shorthand(*day.schedule) == QStringLiteral("02/05"));
        QVERIFY(planText(calendar, 2027, 3, QDate(2027, 3, 1)).contains("~ libre"));
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

    // Fechas before, the days given and their value (empty: "quitar"), Fechas after.
    void datesAreGivenWithoutTouchingOtherDays_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QDate d3(2027, 3, 3), d5(2027, 3, 5);
        QTest::newRow("the same days keep their line")
            << QByteArray("2027-03-03..2027-03-05=silencio ; puente\nx=1\n") << d3 << d5
            << "guardado" << QByteArray("2027-03-03..2027-03-05=guardado\nx=1\n");
        QTest::newRow("dates inside go")
            << QByteArray("2027-03-04=examenes.ini\n2027-03-03..2027-03-04=silencio\n") << d3 << d5
            << "viernes.ini" << QByteArray("2027-03-03..2027-03-05=viernes.ini\n");
        QTest::newRow("a longer range loses anyway")
            << QByteArray("2027-03-01..2027-03-31=silencio\n") << d3 << d5 << "guardado"
            << QByteArray("2027-03-01..2027-03-31=silencio\n2027-03-03..2027-03-05=guardado\n");
        QTest::newRow("a shorter range reaching in is cut")
            << QByteArray("2027-03-05..2027-03-06=silencio\n") << d3 << d5 << "guardado"
            << QByteArray("2027-03-06=silencio\n2027-03-03..2027-03-05=guardado\n");
        QTest::newRow("quitar splits a range")
            << QByteArray("2027-03-01..2027-03-31=silencio\n2027-03-04=x.ini\n") << d3 << d5 << ""
            << QByteArray("2027-03-01..2027-03-02=silencio\n2027-03-06..2027-03-31=silencio\n");
    }

    void datesAreGivenWithoutTouchingOtherDays() {
        QFETCH(QByteArray, before);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        IniDocument doc = IniDocument::parse("[Fechas]\n" + before);
        if (value.isEmpty())
            removeDates(doc, first, last);
        else
            assignDates(doc, first, last, dayValueNamed(value));
        QCOMPARE(doc.serialize(), "[Fechas]\n" + after);
    }
};

QTEST_GUILESS_MAIN(TestCalendar)
#include "test_calendar.moc"
