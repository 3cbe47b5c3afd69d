#include "fakes.h"
#include "schedule/failure.h"
#include "schedule/reg_sett.h"

#include <QTest>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/resource.h>

using namespace horvex;
using namespace horvex::testing;

class TestSettings : public QObject {
    Q_OBJECT

    std::optional<Sandbox> box_;

    QString confPath() const { return box_->file(); }
    // The description of the Failure the save raised, empty if none.
    static QString saveFailure(RegStore& store, const Module1& m) {
        try {
            SaveRegSett(m, store);
        } catch (const Failure& f) {
            return f.description();
        }
        return {};
    }

private slots:
    void init() { box_.emplace(); }

    void emptyStoreLoadsDefaultsAndWritesNothing() {
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(std::tuple(m.TAlaCorto, m.TAlaLargo, m.PuertoCom), std::tuple("02", "05", "04"));
        for (std::size_t i = 0; i < kSlots; ++i)
            QCOMPARE(std::tuple(m.AlaHora[i], m.AlaMin[i], m.AlaChk[i]), std::tuple("24", "00", 0));
        QVERIFY(!QFile::exists(confPath()));
    }

    void saveWritesTheTableOnce() {
        Module1 m;
        {
            RegStore store;
            LoadRegSett(m, store);
            m.AlaHora[0] = QStringLiteral("7");
            m.AlaChk[35] = 1;
            SaveRegSett(m, store);
        }
        const QStringList keys = box_->keys();
        QCOMPARE(keys.size(), 111); // 36 x 3 alarm values, 2 ring lengths, the port
        for (const char* key : {"TAla/Corto", "TAla/Largo", "COMM/cboport", "ALA/chkAla35"})
            QVERIFY2(keys.contains(QLatin1String(key)), key);
        const QByteArray first = box_->read();

        RegStore store;
        Module1 back;
        LoadRegSett(back, store);
        QCOMPARE(back.AlaHora, m.AlaHora);
        QCOMPARE(back.AlaChk, m.AlaChk);
        SaveRegSett(back, store);
        QCOMPARE(box_->read(), first);
    }

    void namesMatchWithoutCase_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::newRow("upper key") << QByteArray("[COMM]\nCBOPORT=07\n[HH]\nCBOHH5=7\n");
        QTest::newRow("lower section") << QByteArray("[comm]\ncboPort=07\n[hh]\ncbohh5=7\n");
        QTest::newRow("both spellings")
            << QByteArray("[COMM]\nCBOPORT=07\ncboport=07\n[HH]\ncboHH5=7\nCBOHH5=7\n");
    }
    void namesMatchWithoutCase() {
        QFETCH(QByteArray, conf);
        box_->write(conf);
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(m.PuertoCom, "07");
        QCOMPARE(m.AlaHora[5], "7");

        m.AlaHora[5] = QStringLiteral("08");
        SaveRegSett(m, store);
        const QStringList keys = box_->keys();
        QCOMPARE(keys.size(), 111);
        QCOMPARE(keys.filter(QStringLiteral("cboport"), Qt::CaseInsensitive).size(), 1);
        QCOMPARE(RegStore().GetSetting("Hh", "CboHH5", {}), "08");
    }

    void checkValues_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("loaded"); // -1: conversion error
        QTest::newRow("one") << QByteArray("chkAla7=1\n") << 1;
        QTest::newRow("zero") << QByteArray("chkAla7=0\n") << 0;
        QTest::newRow("absent") << QByteArray() << 0;
        QTest::newRow("letters") << QByteArray("chkAla7=abc\n") << -1;
        QTest::newRow("300") << QByteArray("chkAla7=300\n") << -1;
        QTest::newRow("negative") << QByteArray("chkAla7=-1\n") << -1;
        QTest::newRow("empty") << QByteArray("chkAla7=\n") << -1;
    }
    void checkValues() {
        QFETCH(QByteArray, line);
        QFETCH(int, loaded);
        box_->write("[MM]\ncboMM35=59\n[ALA]\nchkAla6=1\n" + line + "chkAla8=1\n");
        RegStore store;
        Module1 m;
        if (loaded >= 0) {
            LoadRegSett(m, store);
            QCOMPARE(std::pair(int(m.AlaChk[7]), int(m.AlaChk[8])), std::pair(loaded, 1));
            return;
        }
        try {
            LoadRegSett(m, store);
            QFAIL("no conversion error");
        } catch (const Failure& f) {
            QVERIFY2(f.description().contains("ALA/chkAla7"), qPrintable(f.description()));
        }
        QCOMPARE(std::tuple(m.AlaMin[35], m.AlaChk[6], m.AlaChk[8]), std::tuple("59", 1, 0));
    }

    // Qt reads what it can of a damaged file; saving it would drop the rest.
    void damagedFileLoadsAndIsKept() {
        const QByteArray conf =
            QByteArrayLiteral("[COMM]\ncboport=3\n\x01\xfe\x00zz\n[HH]\ncboHH0=12\n");
        box_->write(conf);
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(m.PuertoCom + m.AlaHora[1], QStringLiteral("324"));
        QVERIFY(saveFailure(store, m).contains(confPath()));
        QCOMPARE(box_->read(), conf);
    }

    // Both ways bind root as well (the full disk is a file size limit).
    void failedSaveKeepsTheFile_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("file in the way") << false;
        QTest::newRow("full disk") << true;
    }
    void failedSaveKeepsTheFile() {
        QFETCH(bool, fullDisk);
        Module1 m;
        if (fullDisk)
            SaveRegSett(m, *std::make_unique<RegStore>());
        else
            QVERIFY(QFile(box_->folder()).open(QIODevice::WriteOnly));
        const QByteArray before = box_->read();
        RegStore store;
        m.AlaHora[0] = QStringLiteral("11");

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit tiny{static_cast<rlim_t>(before.size() / 2), old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, fullDisk ? &tiny : &old), 0);
        const QString reason = saveFailure(store, m);
        setrlimit(RLIMIT_FSIZE, &old);
        QCoreApplication::processEvents(); // nothing left pending to write later
        QVERIFY2(reason.contains(confPath()), qPrintable(reason));
        QCOMPARE(box_->read(), before);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
