#include "schedule/clock_display.h"
#include "schedule/failure.h"
#include "schedule/module1.h"

#include <QTest>

using namespace horvex;

class TestModule1 : public QObject {
    Q_OBJECT
private slots:
    void mirrorsCheckTheIndexBeforeStoring() {
        Module1 m;
        m.setAlaHora(3, QStringLiteral("07"));
        m.setAlaChk(35, 1);
        QCOMPARE(m.AlaHora[3], QStringLiteral("07"));
        QCOMPARE(m.AlaHora[2], QString());
        QCOMPARE(m.AlaChk[35], 1);

        QVERIFY_THROWS_EXCEPTION(Failure, m.setAlaMin(36, QStringLiteral("00")));
        QVERIFY_THROWS_EXCEPTION(Failure, m.setAlaHora(-1, QStringLiteral("00")));
        for (const QString& minute : m.AlaMin)
            QVERIFY(minute.isEmpty());
    }

    void clockDisplay_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("hora");
        QTest::addColumn<QString>("seg");
        QTest::newRow("morning") << QTime(9, 5, 7) << "09:05:07  "
                                 << "&H09"
                                 << "&H07";
        QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00  "
                                  << "&H00"
                                  << "&H00";
        QTest::newRow("evening") << QTime(23, 59, 58) << "23:59:58  "
                                 << "&H23"
                                 << "&H58";
    }
    void clockDisplay() {
        QFETCH(QTime, time);
        QFETCH(QString, label);
        QFETCH(QString, hora);
        QFETCH(QString, seg);
        Module1 m;
        m.HoraAct = QStringLiteral("stale");
        QCOMPARE(MostrarHora(m, [&] { return time; }), label);
        QCOMPARE(m.HoraAct, hora);
        QCOMPARE(m.SegAct, seg);
    }

    // Each field comes from its own reading of the clock, hour first.
    void clockIsReadOncePerField() {
        Module1 m;
        const QList<QTime> readings{QTime(9, 59, 59), QTime(10, 0, 0), QTime(10, 0, 1)};
        int n = 0;
        QCOMPARE(MostrarHora(m, [&] { return readings[n++]; }), QStringLiteral("09:00:01  "));
        QCOMPARE(n, 3);
        QCOMPARE(m.MinAct, QStringLiteral("&H00"));
    }
};

QTEST_GUILESS_MAIN(TestModule1)
#include "test_module1.moc"
