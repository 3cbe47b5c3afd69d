#include "schedule/failure.h"
#include "schedule/reg_sett.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace horvex;

namespace {

QStringList tableKeys() {
    QStringList keys{"TAla/Corto", "TAla/Largo", "COMM/cboport"};
    for (const char* name : {"HH/cboHH", "MM/cboMM", "ALA/chkAla"})
        for (int i = 0; i < kSlots; ++i)
            keys << QLatin1String(name) + QString::number(i);
    keys.sort();
    return keys;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    std::optional<QTemporaryDir> dir_;

    QString confPath() const { return dir_->filePath(QStringLiteral("Horvex/Horvex.conf")); }

    void writeConf(const QByteArray& bytes) {
        QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("Horvex"))));
        QFile f(confPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray readConf() const {
        QFile f(confPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The description of the Failure that the save raised, empty if none.
    static QString saveFailure(RegStore& store, const Module1& m) {
        try {
            SaveRegSett(m, store);
        } catch (const Failure& f) {
            return f.description();
        }
        return {};
    }

    QStringList storedKeys() const {
        QStringList keys = QSettings(confPath(), QSettings::IniFormat).allKeys();
        keys.sort();
        return keys;
    }

private slots:
    void initTestCase() {
        // Before the first QSettings, so nothing can reach the real user's store.
        qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
    }

    void init() {
        dir_.emplace();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_->path());
    }

    void emptyStoreLoadsDefaultsAndWritesNothing() {
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(m.TAlaCorto, "02");
        QCOMPARE(m.TAlaLargo, "05");
        QCOMPARE(m.PuertoCom, "04");
        for (std::size_t i = 0; i < kSlots; ++i) {
            QCOMPARE(m.AlaHora[i], "24");
            QCOMPARE(m.AlaMin[i], "00");
            QCOMPARE(m.AlaChk[i], 0);
        }
        QVERIFY(!QFile::exists(confPath()));
    }

    void saveWritesTheTableAndTextsComeBackAsTheyStand() {
        Module1 m;
        {
            RegStore store;
            LoadRegSett(m, store);
            m.AlaHora[0] = QStringLiteral("7");
            m.AlaHora[1] = QStringLiteral(" 07 ");
            m.AlaHora[2] = QStringLiteral("1, 2");
            m.AlaMin[3] = QString();
            m.TAlaCorto = QStringLiteral("@x");
            m.AlaChk[35] = 1;
            SaveRegSett(m, store);
        }
        QCOMPARE(storedKeys(), tableKeys());
        QCOMPARE(QSettings(confPath(), QSettings::IniFormat).childGroups(),
                 QStringList({"ALA", "COMM", "HH", "MM", "TAla"}));
        const QByteArray first = readConf();

        RegStore store;
        Module1 back;
        LoadRegSett(back, store);
        QCOMPARE(back.AlaHora, m.AlaHora);
        QCOMPARE(back.AlaMin, m.AlaMin);
        QCOMPARE(back.AlaChk, m.AlaChk);
        QCOMPARE(back.TAlaCorto, m.TAlaCorto);
        SaveRegSett(back, store);
        QCOMPARE(readConf(), first);
    }

    void namesMatchWithoutCase_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::newRow("as saved") << QByteArray("[COMM]\ncboport=07\n[HH]\ncboHH5=7\n");
        QTest::newRow("upper key") << QByteArray("[COMM]\nCBOPORT=07\n[HH]\nCBOHH5=7\n");
        QTest::newRow("both spellings")
            << QByteArray("[COMM]\nCBOPORT=07\ncboport=07\n[HH]\ncboHH5=7\nCBOHH5=7\n");
        QTest::newRow("lower section") << QByteArray("[comm]\ncboPort=07\n[hh]\ncbohh5=7\n");
    }
    void namesMatchWithoutCase() {
        QFETCH(QByteArray, conf);
        writeConf(conf);
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(m.PuertoCom, "07");
        QCOMPARE(m.AlaHora[5], "7");

        m.AlaHora[5] = QStringLiteral("08");
        SaveRegSett(m, store);
        const QStringList keys = storedKeys();
        QCOMPARE(keys.size(), 111);
        QCOMPARE(keys.filter(QStringLiteral("cboport"), Qt::CaseInsensitive).size(), 1);
        QCOMPARE(keys.filter(QStringLiteral("/cbohh5"), Qt::CaseInsensitive).size(), 1);
        QCOMPARE(RegStore().GetSetting("Hh", "CboHH5", {}), "08");
    }

    void checkValues_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("loaded"); // -1: conversion error
        QTest::newRow("one") << QByteArray("1") << 1;
        QTest::newRow("zero") << QByteArray("0") << 0;
        QTest::newRow("255") << QByteArray("255") << 255;
        QTest::newRow("letters") << QByteArray("abc") << -1;
        QTest::newRow("300") << QByteArray("300") << -1;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("plus") << QByteArray("+1") << -1;
        QTest::newRow("empty") << QByteArray("") << -1;
    }
    void checkValues() {
        QFETCH(QByteArray, text);
        QFETCH(int, loaded);
        writeConf("[MM]\ncboMM35=59\n[ALA]\nchkAla6=1\nchkAla7=" + text + "\nchkAla8=1\n");
        RegStore store;
        Module1 m;
        if (loaded >= 0) {
            LoadRegSett(m, store);
            QCOMPARE(m.AlaChk[7], loaded);
            QCOMPARE(m.AlaChk[8], 1);
            return;
        }
        try {
            LoadRegSett(m, store);
            QFAIL("no conversion error");
        } catch (const Failure& f) {
            QVERIFY2(f.description().contains(QStringLiteral("ALA/chkAla7")),
                     qPrintable(f.description()));
        }
        QCOMPARE(m.AlaMin[35], "59");
        QCOMPARE(m.AlaChk[6], 1);
        QCOMPARE(m.AlaChk[8], 0);
    }

    void portsAreReadAndKeptBySaves() {
        writeConf("[puertos]\ncom1=/dev/ttyUSB0\nCOM2=\n");
        RegStore store;
        QCOMPARE(store.portDevice(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(store.portDevice(2), std::nullopt);
        QCOMPARE(store.portDevice(3), std::nullopt);
        Module1 m;
        LoadRegSett(m, store);
        SaveRegSett(m, store);
        QCOMPARE(RegStore().portDevice(1), QStringLiteral("/dev/ttyUSB0"));
    }

    void storeFollowsTheApplicationName() {
        RegStore store;
        store.SaveSetting("TAla", "Corto", "09");
        store.flush();
        QCoreApplication::setApplicationName(QStringLiteral("Otro"));
        const QString other = store.GetSetting("TAla", "Corto", "02");
        QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
        QCOMPARE(other, "02");
        QCOMPARE(store.GetSetting("TAla", "Corto", "02"), "09");
    }

    // Qt reads what it can of a damaged file; a save would rewrite it without
    // the lines it did not understand, so the store refuses and keeps it.
    void damagedFile_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::addColumn<bool>("saves");
        QTest::newRow("unclosed section")
            << QByteArray("[COMM\ncboport=3\n[HH]\ncboHH0=1,2\n") << false;
        QTest::newRow("junk line")
            << QByteArrayLiteral("[COMM]\ncboport=3\n\x01\xfe\x00zz\n[HH]\ncboHH0=1,2\n") << false;
        QTest::newRow("bad UTF-8 in a value")
            << QByteArray("[COMM]\ncboport=3\n[HH]\ncboHH0=1,2\xff\n") << true;
    }
    void damagedFile() {
        QFETCH(QByteArray, conf);
        QFETCH(bool, saves);
        writeConf(conf);
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(m.PuertoCom, "3");
        QVERIFY(m.AlaHora[0].startsWith(QStringLiteral("1, 2")));
        QCOMPARE(m.AlaHora[1], "24");
        if (saves) {
            SaveRegSett(m, store);
            QCOMPARE(storedKeys().size(), 111);
            return;
        }
        const QString reason = saveFailure(store, m);
        QVERIFY2(reason.contains(confPath()), qPrintable(reason));
        QCOMPARE(readConf(), conf);
    }

    // Works as root too: nothing can be created below a regular file.
    void unwritablePlaceIsReported() {
        const QString blocker = dir_->filePath(QStringLiteral("file"));
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
        RegStore store;
        const QString reason = saveFailure(store, Module1{});
        QVERIFY2(reason.contains(blocker + QStringLiteral("/Horvex/Horvex.conf")),
                 qPrintable(reason));
    }

#ifdef Q_OS_UNIX
    // A full disk is made with a file size limit, which binds root as well.
    void failedSaveKeepsTheFile_data() {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("read-only folder") << false;
        QTest::newRow("full disk") << true;
    }
    void failedSaveKeepsTheFile() {
        QFETCH(bool, fullDisk);
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        SaveRegSett(m, store);
        const QByteArray before = readConf();
        const QString folder = dir_->filePath(QStringLiteral("Horvex"));
        m.AlaHora[0] = QStringLiteral("11");

        QString reason;
        bool denied = true;
        if (fullDisk) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const rlimit tiny{static_cast<rlim_t>(before.size() / 2), old.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
            reason = saveFailure(store, m);
            setrlimit(RLIMIT_FSIZE, &old);
        } else {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            denied = ::access(qPrintable(folder), W_OK) != 0;
            if (denied)
                reason = saveFailure(store, m);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        if (!denied)
            QSKIP("this user writes into read-only folders");
        QCoreApplication::processEvents(); // nothing left pending to write later
        QVERIFY2(reason.contains(confPath()), qPrintable(reason));
        QCOMPARE(readConf(), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"Horvex.conf"});

        SaveRegSett(m, store);
        QCOMPARE(RegStore().GetSetting("HH", "cboHH0", {}), "11");
    }
#endif
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
