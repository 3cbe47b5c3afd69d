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
};

QTEST_GUILESS_MAIN(TestModule1)
#include "test_module1.moc"
