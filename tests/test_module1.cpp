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
        QCOMPARE(m.AlaHora[3], QStringLiteral("07"));
        QVERIFY_THROWS_EXCEPTION(Failure, m.setAlaMin(36, QStringLiteral("00")));
        QVERIFY_THROWS_EXCEPTION(Failure, m.setAlaHora(-1, QStringLiteral("00")));
        QCOMPARE(m.AlaMin, Module1().AlaMin);
    }

    void clockDisplay_data() {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("horaSeg");
        QTest::newRow("morning") << QTime(9, 5, 7) << "09:05:07  " << QStringLiteral("&H09&H07");
        QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00  " << QStringLiteral("&H00&H00");
    }
    void clockDisplay() {
        QFETCH(QTime, time);
        QFETCH(QString, label);
        QFETCH(QString, horaSeg);
        Module1 m;
        QCOMPARE(MostrarHora(m, [&] { return time; }), label);
        QCOMPARE(m.HoraAct + m.SegAct, horaSeg);
    }

    // One reading serves all three fields, so they never tear at a boundary.
    void clockIsReadOnce() {
        Module1 m;
        const QList<QTime> readings{QTime(9, 59, 59), QTime(10, 0, 0)};
        int n = 0;
        QCOMPARE(MostrarHora(m, [&] { return readings[n++]; }), QStringLiteral("09:59:59  "));
        QCOMPARE(m.MinAct + QString::number(n), QStringLiteral("&H591"));
    }
};

QTEST_GUILESS_MAIN(TestModule1)
#include "test_module1.moc"
