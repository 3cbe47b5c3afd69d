// The calendar from the command line through the real program: --day, --plan
// and --check, and --sync choosing what to send by the calendar and the
// record, at moments set with faketime.

#include "cli_user.h"
#include "decoder.h"
#include "listener.h"

#include <QStandardPaths>
#include <QTimeZone>
#include <csignal>
#include <future>
#include <sys/timex.h>

using namespace horvex;
using namespace horvex::testing;

class TestCliCalendar : public QObject {
    Q_OBJECT
private slots:
    // --day, --plan and --check with the sample calendar, a faulty one, or none.
    void commands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says");
        const auto row = [](const char* name, const QStringList& args, int exit, const char* says) {
            QTest::newRow(name) << args << exit << QString::fromUtf8(says);
        };
        row("day", {"--day", "2027-03-19", "--calendar", "%D/calendario.ini"}, 0,
            "2027-03-19 viernes: libre\nRegla: [Calendarios] festivos.ics (línea 23 de "
            "calendario.ini): «San José», línea 21 de festivos.ics\nDía libre: nadie en el "
            "colegio; el reloj puede sonar ya los timbres del siguiente día lectivo, el martes "
            "2027-03-30.\n");
        row("day, no calendar", {"--day", "2027-03-19"}, 0,
            "2027-03-19 viernes: guardado\nRegla: ninguna regla del calendario llega");
        row("day that is not", {"--day", "2027-02-30"}, 64,
            "--day: «2027-02-30» no es una fecha AAAA-MM-DD que exista");
        row("plan", {"--plan", "2027-03", "--calendar", "%D/calendario.ini"}, 0,
            "lu  ma  mi  ju  vi  sá  do\n 1.  2.  3.  4.  5V  6~  7~\n 8E  9E 10E 11E 12E 13~ "
            "14~\n15. 16. 17. 18V 19~ 20~ 21~\n22~ 23~ 24~ 25~ 26~ 27~ 28~\n29~ 30. 31.\n\n. "
            "guardado   ~ libre   V viernes.ini   E examenes.ini\n");
        row("check", {"--check", "--calendar", "%D/calendario.ini"}, 0,
            "aviso: %D/festivos.ics:33: «Claustro»: evento con hora (2027-03-16 16:00), no marca "
            "ningún día\n");
        row("check, errors", {"--check", "--calendar", "%D/viernes.ini"}, 1,
            "%D/viernes.ini:2: sección [Timbres] desconocida");
        row("check, no file", {"--check", "--calendar", "%H/none.ini"}, 1, "%H/none.ini no existe");
        row("day, a folder", {"--day", "2027-03-20", "--calendar", "%H"}, 1,
            "horvex: %H tiene 1 error (horvex --check los muestra): --sync no envía nada y el "
            "reloj "
            "sigue con lo que tiene\nhorvex: %H es una carpeta, no un archivo\n");
        row("plan, standard input", {"--plan", "2027-03", "--calendar", "/dev/stdin"}, 1,
            "/dev/stdin tiene 1 error");
        row("check, repeats within a day", {"--check", "--calendar", "%H/segundos.ini"}, 1,
            "%H/segundos.ics:4: «Cada segundo»: un evento de día entero que se repite más de una "
            "vez "
            "al día");
    }
    void commands() {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, says);
        User user;
        writeFile(user.path("segundos.ini"), "[Calendarios]\nsegundos.ics=silencio\n");
        writeFile(user.path("segundos.ics"),
                  "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:x\nBEGIN:VEVENT\nSUMMARY:Cada segundo\n"
                  "DTSTART;VALUE=DATE:20270101\nRRULE:FREQ=DAILY;BYHOUR=0,1,2,3,4,5,6,7,8,9,10,11,"
                  "12,13,14,15,16,17,18,19,20,21,22,23;BYMINUTE=0,15,30,45;BYSECOND=0,30\n"
                  "END:VEVENT\nEND:VCALENDAR\n");
        const Result r = user.run(user.expand(args));
        HORVEX_COMPARE_EXIT(r, exit);
        QVERIFY2(r.all().contains(user.expand(says)), qPrintable(r.all()));
        QVERIFY(!QFileInfo::exists(user.path("none")));
    }

    // SIGTERM ends a command busy reading the largest calendar at once: no
    // handler of ours holds it outside a frame.
    void stopSignalWhileReading() {
        User user;
        QByteArray events;
        while (events.size() < 15 * 1024 * 1024)
            events += "BEGIN:VEVENT\nSUMMARY:Semana\nDTSTART;VALUE=DATE:20270104\n"
                      "RRULE:FREQ=WEEKLY\nEND:VEVENT\n";
        writeFile(user.path("grande.ics"), "BEGIN:VCALENDAR\n" + events + "END:VCALENDAR\n");
        writeFile(user.path("grande.ini"), "[Calendarios]\ngrande.ics=silencio\n");
        const std::unique_ptr<QProcess> p =
            user.start({"--check", "--calendar", user.path("grande.ini")});
        QVERIFY(p->waitForStarted());
        ::kill(static_cast<pid_t>(p->processId()), SIGTERM);
        HORVEX_COMPARE_EXIT(User::finish(*p), -SIGTERM);
    }

    // The sample calendar's upload on Wednesday 2027-03-17 at noon, as the
    // clock reads it: the rest of the day's timetable, then Thursday's short
    // day up to noon; the record names the rules. An unsynchronised PC clock
    // is a warning only.
    void calendarUploadAtAChosenMoment() {
        if (fakeTimeLibrary().isEmpty())
            QSKIP("libfaketime is not installed");
        QString error;
        const std::unique_ptr<reloj::Listener> clock = reloj::Listener::openPty(&error);
        QVERIFY2(clock, qPrintable(error));
        User user;
        writeFile(user.store(), "[Puertos]\nCOM4=" + clock->path().toLocal8Bit() + "\n");
        user.useSample();
        user.fakeTime = QStringLiteral("2027-03-17 12:00:30");
        auto received = std::async(std::launch::async, [&] { return clock->next(5000); });
        const Result r = user.run({"--sync"});
        HORVEX_COMPARE_EXIT(r, 0);
        timex tx{};
        const bool unsynced = ::adjtimex(&tx) == TIME_ERROR || (tx.status & STA_UNSYNC) != 0;
        QCOMPARE(r.err.contains(QStringLiteral("la hora del PC no está sincronizada")), unsynced);
        const std::optional<reloj::Chunk> chunk = received.get();
        QVERIFY2(chunk, qPrintable(clock->error()));
        const reloj::Decoded d = reloj::decode(*chunk);
        QVERIFY2(d.ok(), qPrintable(d.problems.value(0).text()));
        QCOMPARE(QTime(d.frame->hour, d.frame->minute), QTime(12, 0));
        QStringList set;
        for (const reloj::Slot& slot : d.frame->alarms)
            set << QTime(slot.hour % 24, slot.minute).toString("HH:mm") +
                       (slot.longRing ? "L" : "");
        QCOMPARE(set.mid(0, 9).join(' '),
                 "12:10 13:05 14:00L 08:00L 09:00 10:00 11:00L 11:30 00:00");
        QCOMPARE(set.count("00:00"), 28);
        QCOMPARE(std::pair(d.frame->shortRing, d.frame->longRing), std::pair(2, 5));
        const QString history = user.run({"--history", "1"}).out;
        QVERIFY2(history.contains("  detalle: hoy 2027-03-17 guardado: [Semana] miercoles (línea 6 "
                                  "de calendario.ini); mañana 2027-03-18 viernes.ini: [Fechas] "
                                  "2027-03-18 (línea 20 de calendario.ini)"),
                 qPrintable(history));
    }

    // --sync --if-needed on Wednesday 2027-03-17 with the sample calendar
    // (or none), the record saying the clock got the weekday timetable:
    // what it says, and whether it sends.
    void ifNeeded_data() {
        QTest::addColumn<bool>("calendar");
        QTest::addColumn<QStringList>("record"); // when, origin, "cut" when cut short
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("says");
        QTest::addColumn<bool>("sends");
        const QStringList six{"2027-03-17T06:00 sync"};
        QTest::newRow("nothing recorded")
            << true << QStringList() << "06:00:10"
            << "Hace falta enviar: no consta ningún envío completo al reloj." << true;
        QTest::newRow("rings as the calendar")
            << true << six << "07:00:00"
            << "El reloj tiene desde el 2027-03-17 a las 06:00 lo enviado por horvex --sync: 8 "
               "timbres, de las 08:00 a las 14:00.\nEl reloj tiene lo enviado por horvex --sync el "
               "2027-03-17 a las 06:00 y suena como el calendario"
            << false;
        QTest::newRow("a bell within a minute")
            << true << QStringList{six.first(), "2027-03-17T09:00 sync cut"} << "10:44:30"
            << "salió a medias: no se sabe qué tiene el reloj), pero el calendario tiene un timbre "
               "el "
               "2027-03-17 a las 10:45, a menos de un minuto: se enviará a las 11:00.\nNo está "
               "listo: no se sabe qué tiene el reloj.\n"
            << false;
        QTest::newRow("a change waits for the day's last bell")
            << true << six << "10:50:00"
            << "sonará distinto del calendario el 2027-03-18 a las 08:55 (el reloj tiene 08:55 "
               "corto y el calendario no): se enviará a las 14:15, después del último timbre de "
               "hoy "
               "(14:00), para no interrumpir las clases.\nListo hasta el 2027-03-18 a las 08:55.\n"
            << false;
        QTest::newRow("the window's upload holds")
            << true << QStringList{"2027-03-17T06:00 ventana"} << "10:44:30"
            << "El envío desde la ventana del 2027-03-17 a las 06:00 manda hasta su último timbre "
               "de hoy, a las 14:00"
            << false;
        QTest::newRow("a later upload cut short")
            << true << QStringList{six.first(), "2027-03-17T09:00 sync cut"} << "09:30:00"
            << "Hace falta enviar: el envío del 2027-03-17 a las 09:00 salió a medias" << true;
        QTest::newRow("no calendar: once a day")
            << false << QStringList{"2027-03-16T18:00 sync"} << "07:00:00"
            << "Hace falta enviar: todavía no se ha enviado nada hoy" << true;
        QTest::newRow("no calendar: as stored")
            << false << six << "07:00:00"
            << "suena como el horario guardado hasta el 2027-03-18 a las 07:00: no se envía "
               "nada.\nListo hasta el 2027-03-28 a las 08:00.\n"
            << false;
        // Free days ring what the next school day needs.
        QTest::newRow("before the Christmas holidays, after the last bell")
            << true << QStringList{"2026-12-22T06:00 sync"} << "2026-12-22 15:00:00"
            << "Hace falta enviar: lo que tiene el reloj sonaría distinto del calendario el "
               "2027-01-08 a las 08:55: el reloj tiene 08:55 corto y el calendario no."
            << true;
        QTest::newRow("summer: the clock holds the next school day's")
            << true << QStringList{"2027-07-15T00:10 sync"} << "2027-07-15 10:00:00"
            << "suena como el calendario hasta el 2027-09-08 a las 10:00: no se envía nada.\nListo "
               "para 31 días, hasta el 2027-08-15 a las 10:00 por lo menos.\n"
            << false;
    }
    void ifNeeded() {
        QFETCH(bool, calendar);
        QFETCH(QStringList, record);
        QFETCH(QString, now);
        QFETCH(QString, says);
        QFETCH(bool, sends);
        if (fakeTimeLibrary().isEmpty())
            QSKIP("libfaketime is not installed");
        User user;
        user.setStore({});
        user.useSample(calendar);
        // The sample weekday timetable at 06:00:00: 08:00 long, 08:55, 09:50, 10:45 long,
        // 11:15, 12:10, 13:05, 14:00 long; rings 02 and 05.
        const QByteArray frame =
            QByteArray::fromHex("02363030B830388539"
                                "80C075414542404335C430" +
                                QByteArray("5430").repeated(28) + "32354B540D0A");
        QByteArray lines;
        for (const QString& upload : record) {
            const QStringList f = upload.split(' ');
            const bool cut = f.value(2) == QLatin1String("cut");
            const QDateTime at(QDateTime::fromString(f[0], Qt::ISODate).date(),
                               QDateTime::fromString(f[0], Qt::ISODate).time(),
                               QTimeZone("Europe/Madrid"));
            lines += (at.toString(Qt::ISODateWithMs) + "\t" + f[1] + "\tCOM4\t/dev/ttyS3\t" +
                      (cut ? "COM4: Input/output error\t40\t" : "enviado\t82\t"))
                         .toUtf8() +
                     frame.toHex().toUpper() + "\t1-0000000" + QByteArray::number(lines.size()) +
                     "\n";
        }
        writeFile(user.record(), lines);
        user.fakeTime = now.contains('-') ? now : "2027-03-17 " + now;
        const Result r = user.run({"--sync", "--if-needed"});
        HORVEX_COMPARE_EXIT(r, 0);
        QVERIFY2(r.out.contains(says), qPrintable(r.all()));
        QCOMPARE(user.line.drain().size(), sends ? reloj::kFrameSize : 0);
    }
};

QTEST_GUILESS_MAIN(TestCliCalendar)
#include "test_cli_calendar.moc"
