// The .ics adapter: which days the events of an iCalendar file mark, and
// what it says about what it cannot read or leaves aside.

#include "calendar/ics.h"
#include "calendar_texts.h"

#include <QTest>

using namespace horvex;
using namespace horvex::testing;

class TestIcs : public QObject {
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
        QTest::newRow("dates with a time name their day in their own zone")
            << ics("BEGIN:VEVENT\nUID:z\nDTSTART;VALUE=DATE:20270602\nRRULE:FREQ=WEEKLY;COUNT=5\n"
                   "EXDATE;TZID=Europe/Madrid:20270609T000000\nEXDATE:20270623T000000Z\n"
                   "EXRULE:FREQ=MONTHLY;BYMONTHDAY=30\n"
                   "RDATE;TZID=Europe/Madrid:20270611T000000\nEND:VEVENT\nBEGIN:VEVENT\nUID:z\n"
                   "RECURRENCE-ID;TZID=Europe/Madrid:20270616T000000\n"
                   "DTSTART;VALUE=DATE:20270617\nEND:VEVENT\n")
            << "2027-06-01"
            << "2027-06-02+1 2027-06-11+1 2027-06-17+1"
            << "";
        QTest::newRow("DURATION of a week, an override two days long on its own date")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:20270301\nDURATION:P1W\nEND:VEVENT\n"
                   "BEGIN:VEVENT\nUID:o\nDTSTART;VALUE=DATE:20270104\nRRULE:FREQ=WEEKLY;COUNT=3\n"
                   "END:VEVENT\nBEGIN:VEVENT\nUID:o\nRECURRENCE-ID;VALUE=DATE:20270111\n"
                   "DTSTART;VALUE=DATE:20270111\nDTEND;VALUE=DATE:20270113\nEND:VEVENT\n")
            << "2027-01-01"
            << "2027-01-04+1 2027-01-11+2 2027-01-18+1 2027-03-01+7"
            << "";
        for (const auto& [property, line] :
             {std::pair("DTSTART;VALUE=DATE:20270230", "5:DTSTART: la fecha 20270230 no existe"),
              std::pair("DTEND;VALUE=DATE:20271301", "6:DTEND: la fecha 20271301 no existe"),
              std::pair("EXDATE;VALUE=DATE:00000101", "6:EXDATE: la fecha 00000101 no existe"),
              std::pair("RDATE;VALUE=DATE:20270101,20270229",
                        "6:RDATE: la fecha 20270229 no existe"),
              std::pair("RRULE:FREQ=DAILY;UNTIL=20271301", "6:RRULE: la fecha 20271301 no existe")})
            QTest::newRow(property) << ics(QByteArray("BEGIN:VEVENT\n") +
                                           (QByteArray(property).startsWith("DTSTART")
                                                ? ""
                                                : "DTSTART;VALUE=DATE:20270104\n") +
                                           property + "\nEND:VEVENT\n")
                                    << "2027-01-01"
                                    << "" << line;
        QTest::newRow("an all-day event every hour is an error")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:20270101\nRRULE:FREQ=HOURLY\nEND:VEVENT\n")
            << "2027-01-01"
            << ""
            << "4:un evento de día entero que se repite más de una vez al día";
        QTest::newRow("every second of a day is an error, and quick")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:20270101\nRRULE:FREQ=DAILY;BYMINUTE=" +
                   QByteArray(
                       "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,"
                       "26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,"
                       "49,50,51,52,53,54,55,56,57,58,59;BYSECOND=0,1,2,3,4,5,6,7,8,9,10,11,"
                       "12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,"
                       "35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55,56,57,"
                       "58,59\nEND:VEVENT\n"))
            << "2027-01-01"
            << ""
            << "4:un evento de día entero que se repite más de una vez al día";
        QTest::newRow("a count beyond ten years of days is an error")
            << ics("BEGIN:VEVENT\nDTSTART;VALUE=DATE:00010101\nRRULE:FREQ=DAILY;COUNT=1000000\n"
                   "END:VEVENT\n")
            << "2027-01-01"
            << ""
            << "4:se repite 1000000 veces (COUNT), más de las 3660 que se siguen";
        QByteArray many;
        for (int i = 0; i < 1150; ++i)
            many += "BEGIN:VEVENT\nDTSTART;VALUE=DATE:20270101\nRRULE:FREQ=DAILY\nEND:VEVENT\n";
        QTest::newRow("too many repetitions at once: an error, no days")
            << ics(many) << "2027-01-01"
            << ""
            << "0:sus eventos se repiten más de 100000 veces en un año: no se siguen";
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
        for (const auto& notes : {calendar.notes(), calendar.lateNotes()})
            for (const IcsNote& n : notes)
                said << QStringLiteral("%1:%2").arg(n.line).arg(n.text);
        QVERIFY2(notes.isEmpty() ? said.isEmpty() : said.value(0).startsWith(notes),
                 qPrintable(said.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestIcs)
#include "test_ics.moc"
