#include "schedule/clock_display.h"
#include "schedule/failure.h"
#include "schedule/module1.h"
#include "schedule/readable_schedule.h"

#include <QTest>

using namespace horvex;

class TestModule1 : public QObject {
    Q_OBJECT
private slots:
    void mirrorsCheckTheIndexBeforeStoring() {
        Module1 m;
        m.setAlaHora(3, QStringLiteral("07"));
        QCOMPARE(m.AlaHora[3], QStringLiteral("07"));
        QVERIFY_THROWS_EXCEPTION(Failure, m.setAlaMin(36, QStringLiteral("00")));
        QVERIFY_THROWS_EXCEPTION(Failure, m.setAlaHora(-1, QStringLiteral("00")));
        QCOMPARE(m.AlaMin, Module1().AlaMin);
    }

    // One reading serves all three fields, so they never tear at a boundary.
    void clockIsReadOnce() {
        Module1 m;
        const QList<QTime> readings{QTime(9, 59, 59), QTime(10, 0, 0)};
        int n = 0;
        QCOMPARE(MostrarHora(m, [&] { return readings[n++]; }), QStringLiteral("09:59:59  "));
        QCOMPARE(m.HoraAct + m.MinAct + m.SegAct + QString::number(n), "&H09&H59&H591");
        QCOMPARE(MostrarHora(m, [] { return QTime(0, 0, 0); }), QStringLiteral("00:00:00  "));
        QCOMPARE(m.HoraAct + m.MinAct + m.SegAct, QStringLiteral("&H00&H00&H00"));
    }

    // A time as people write it, in a schedule file: the bell it gives, or
    // the line's problem.
    void typedTimes_data() {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("read");
        const auto row = [](const char* lines, const char* read) {
            QTest::newRow(lines) << QString::fromUtf8(lines) << QString::fromUtf8(read);
        };
        row("08:30", "08:30");
        row("8:30", "08:30");
        row("8.30", "08:30");
        row("8h30", "08:30");
        row("8H30 largo", "08:30 largo");
        row("8h", "08:00");
        row("0h05", "00:05");
        row("23.59", "23:59");
        row("8:75", "línea 4: «8:75»: el minuto 75 no existe (los minutos van de 00 a 59)");
        row("25.10", "línea 4: «25.10»: la hora 25 no existe (las horas van de 0 a 23)");
        row("8,30", "línea 4: «8,30»: la hora se separa del minuto con «:», «.» o «h», no con una "
                    "coma (8:30)");
        row("8", "línea 4: «8»: falta el minuto (8:00)");
        row("8.", "línea 4: «8.»: falta el minuto (8:00)");
        row("8:5", "línea 4: «8:5»: el minuto se escribe con dos cifras (8:05 o 8:50)");
        row("8:30:00", "línea 4: «8:30:00» no es una hora (valen 8:30, 8.30, 8h30 y 8h)");
        row("ocho", "línea 4: «ocho» no es una hora (valen 8:30, 8.30, 8h30 y 8h)");
        row("٨:٣٠", "línea 4: «٨:٣٠» no es una hora (valen 8:30, 8.30, 8h30 y 8h)");
        row("8:30\n08h30", "línea 5: 08:30 repetido (ya en la línea 4)");
    }
    void typedTimes() {
        QFETCH(QString, lines);
        QFETCH(QString, read);
        const ParsedSchedule parsed =
            parseReadableSchedule(("[Timbres]\ncorto=02\nlargo=05\n" + lines + "\n").toUtf8());
        QStringList said;
        for (const LineProblem& p : parsed.problems)
            said << p.toString();
        if (said.isEmpty()) {
            const ScheduleTexts& s = parsed.texts;
            said << s.hour[0] + ':' + s.minute[0] +
                        (s.check[0] == QLatin1String("1") ? " largo" : "");
        }
        QCOMPARE(said.join('\n'), read);
    }
};

QTEST_GUILESS_MAIN(TestModule1)
#include "test_module1.moc"
