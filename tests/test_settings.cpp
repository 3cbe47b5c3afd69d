#include "fakes.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"
#include "schedule/reg_sett.h"
#include "schedule/window_lock.h"

#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace horvex;
using namespace horvex::testing;

class TestSettings : public QObject {
    Q_OBJECT

    std::optional<Sandbox> box_;

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

    // The store is reached through a link and has a mode of its own; a save
    // killed earlier left its temporary file. A save keeps the link and the
    // mode, and removes that file, nothing else.
    void saveWritesTheTableOnce() {
        const QString real = box_->folder() + "/real.conf";
        updateStoreFile(real, [](IniDocument&) {}); // made, though nothing changed
        QVERIFY(QFileInfo::exists(real));
        QCOMPARE(::chmod(QFile::encodeName(real).constData(), 0604), 0);
        QVERIFY(QFile::link(real, box_->file()));
        for (const char* other : {".tmp-Ab12Cd", ".backup", ".tmp-keep"})
            writeFile(real + other, "[HH]\n");
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
        QVERIFY(QFileInfo(box_->file()).isSymLink());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(real).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0604u);
        QCOMPARE(
            QDir(box_->folder()).entryList(QDir::Files),
            QStringList({"Horvex.conf", "real.conf", "real.conf.backup", "real.conf.tmp-keep"}));

        RegStore store;
        Module1 back;
        LoadRegSett(back, store);
        QCOMPARE(back.AlaHora, m.AlaHora);
        QCOMPARE(back.AlaChk, m.AlaChk);
        SaveRegSett(back, store);
        QCOMPARE(box_->read(), first);
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
        // A save writes back what was loaded, never the blanks after the bad key.
        m.AlaMin[35] = QStringLiteral("58");
        SaveRegSett(m, store);
        QCOMPARE(box_->get("MM/cboMM35").toString() + box_->get("ALA/chkAla8").toString(), "581");
    }

    // Files a hand or another program left, garbage included: names match
    // without regard to case, every line that is not ours is kept through a
    // save, one value per name, and loading takes time linear in the size.
    void foreignFilesLoadAndSaveWhole_data() {
        QTest::addColumn<QByteArray>("conf");
        QTest::newRow("upper case") << QByteArray("[COMM]\nCBOPORT=3\n[HH]\nCBOHH0=12\n");
        QTest::newRow("lower case, twice")
            << QByteArray("[comm]\ncboPort=3\n[hh]\ncbohh0=12\nCBOHH0=12\n");
        QTest::newRow("damaged") << QByteArrayLiteral(
            "[COMM]\ncboport=3\n\x01\xfe\x00zz\n[HH\nx=1\n[HH]\ncboHH0=12\n");
        QTest::newRow("Latin-1") << QByteArray(
            "[TAla]\nLargo=05\nCorto=Jos\xe9\n[COMM]\ncboport=3\n"
            "[HH]\ncboHH0=12\n");
        QTest::newRow("byte-order mark") << QByteArrayLiteral(
            "\xEF\xBB\xBF[COMM]\r\ncboport=3\r\n; comment\r\n[HH]\r\ncboHH0=12\r\n");
        QByteArray garbage;
        for (int byte = 0; byte < 3 * 256; ++byte)
            garbage += static_cast<char>(byte);
        QTest::newRow("every byte") << garbage + "\n[COMM]\ncboport=3\n[HH]\ncboHH0=12\n";
        QByteArray big("[COMM]\ncboport=3\n[HH]\ncboHH0=12\n[Otros]\n");
        for (int i = 0; i < 80000; ++i)
            big += "k" + QByteArray::number(i) + "=v\n";
        QTest::newRow("80 000 keys") << big;
    }
    void foreignFilesLoadAndSaveWhole() {
        QFETCH(QByteArray, conf);
        box_->write(conf);
        RegStore store;
        Module1 m;
        LoadRegSett(m, store);
        QCOMPARE(m.PuertoCom + m.AlaHora[0] + m.AlaHora[1], QStringLiteral("31224"));
        m.AlaHora[0] = QStringLiteral("13");
        QCOMPARE(saveFailure(store, m), QString());
        const QByteArray saved = box_->read().toLower();
        const qsizetype at = conf.toLower().indexOf("cbohh0=");
        QCOMPARE(saved.left(at), conf.toLower().left(at));
        QCOMPARE(saved.count("cbohh0="), 1); // one value per name
        QVERIFY(saved.contains("cbohh0=13"));
        QCOMPARE(saved.count("cboport="), 1);
        if (conf.contains("\r\n")) // new sections too
            QCOMPARE(saved.count('\n'), saved.count("\r\n"));
        QCOMPARE(RegStore().GetSetting("HH", "cboHH35", {}), "24");
    }

    // What is in the store's place, or in the way of saving: each says its
    // own reason and nothing is written over. "%1" stands for the file. The
    // window lock is made, or fails for the same reason as the save.
    void storeFaults_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("atLoad");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unreadable")
            << "unreadable" << true << "no se puede leer %1: su usuario no tiene permiso";
        QTest::newRow("fifo") << "fifo" << true << "%1 no es un archivo normal";
        QTest::newRow("folder") << "folder" << true << "%1 es una carpeta";
        QTest::newRow("dangling link") << "dangling" << true << "%1 es un enlace a /nonexistent";
        QTest::newRow("15 MB") << "huge" << true << "%1 ocupa 15,0 MB, más de lo que puede";
        QTest::newRow("file in the way")
            << "file in the way" << false << "Horvex existe y no es una carpeta";
        QTest::newRow("full disk")
            << "full disk" << false
            << "no se puede escribir en %1: el archivo llegaría a más del tamaño permitido";
        QTest::newRow("lock is a folder") << "lock folder" << false << ".lock es una carpeta";
        QTest::newRow("read-only")
            << "read-only" << false
            << "no se puede escribir en %1: es de solo lectura (permisos 444)";
    }
    void storeFaults() {
        QFETCH(QString, fault);
        QFETCH(bool, atLoad);
        QFETCH(QString, reason);
        const QString file = box_->file();
        {
            Module1 m;
            m.known.set();
            m.AlaHora[4] = QStringLiteral("06");
            SaveRegSett(m, *std::make_unique<RegStore>());
        }
        const QByteArray conf = QFile::encodeName(file);
        if (fault == "fifo" || fault == "folder" || fault == "dangling")
            QVERIFY(QFile::remove(file));
        if (fault == "fifo")
            QCOMPARE(::mkfifo(conf.constData(), 0600), 0);
        if (fault == "folder")
            QVERIFY(QDir().mkpath(file));
        if (fault == "dangling")
            QVERIFY(QFile::link("/nonexistent/Horvex.conf", file));
        if (fault == "file in the way") {
            QVERIFY(QDir(box_->folder()).removeRecursively());
            QVERIFY(QFile(box_->folder()).open(QIODevice::WriteOnly));
        }
        if (fault == "lock folder")
            QVERIFY(QDir().mkpath(file + ".lock"));
        if (fault == "huge")
            QVERIFY(QFile(file).resize(qint64(15) << 20));
        if (fault == "read-only")
            QCOMPARE(::chmod(conf.constData(), 0444), 0);
        const QByteArray setUp = atLoad ? QByteArray() : box_->read(); // a FIFO would block
        // Root reads any file: the unreadable one is read as nobody.
        const bool asNobody = fault == "unreadable" && ::geteuid() == 0;
        if (fault == "unreadable") {
            QCOMPARE(::chmod(QFile::encodeName(box_->folder() + "/..").constData(), 0755), 0);
            QCOMPARE(::chmod(QFile::encodeName(box_->folder()).constData(), 0755), 0);
            QCOMPARE(::chmod(conf.constData(), asNobody ? 0600 : 0), 0);
        }

        RegStore store;
        Module1 m;
        QString loadFailure;
        if (asNobody)
            QCOMPARE(::seteuid(65534), 0);
        try {
            LoadRegSett(m, store);
        } catch (const Failure& f) {
            loadFailure = f.description();
        }
        if (asNobody)
            QCOMPARE(::seteuid(0), 0);
        QCOMPARE(!loadFailure.isEmpty(), atLoad);

        // The operator changes two values and saves; for a full disk no
        // file may grow past a few bytes.
        m.setAlaHora(0, QStringLiteral("11"));
        m.setAlaMin(0, QStringLiteral("30"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const rlimit tiny{4, old.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, fault == "full disk" ? &tiny : &old), 0);
        if (fault == "unreadable" && !asNobody)
            QCOMPARE(::chmod(conf.constData(), 0600), 0);
        const QString saveReason = saveFailure(store, m);
        QString lockFailure;
        try {
            QVERIFY(WindowLock(file).acquire());
        } catch (const Failure& f) {
            lockFailure = f.description();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(lockFailure.isEmpty(), fault != "file in the way" && fault != "full disk");
        QVERIFY2(lockFailure.isEmpty() || lockFailure.contains(reason.section(": ", -1)),
                 qPrintable(lockFailure));

        const QString failure = atLoad ? loadFailure : saveReason;
        QVERIFY2(failure.contains(reason.arg(file)), qPrintable(failure + " / " + saveReason));
        QCOMPARE(QDir(box_->folder()).entryList({"*.tmp-*"}), QStringList());
        if (fault == "unreadable") {
            // Readable again at save time: the changes go in, the rest stays.
            QCOMPARE(saveReason, QString());
            QCOMPARE(box_->get("HH/cboHH0").toString() + box_->get("MM/cboMM0").toString() +
                         box_->get("HH/cboHH4").toString(),
                     "113006");
        } else if (!atLoad) {
            QCOMPARE(box_->read(), setUp);
        } else {
            QVERIFY(!saveReason.isEmpty()); // what could not be read is not written over
        }
    }

    // The system's reasons in our own Spanish: through a real failing call
    // where one is cheap to make, else the error number alone.
    void systemReasons_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, int error, const char* how, const char* reason) {
            QTest::newRow(name) << error << how << QString::fromUtf8(reason);
        };
        row("missing", ENOENT, "append in a missing folder", "no existe");
        row("not a folder", ENOTDIR, "append under a file",
            "una parte de la ruta no es una carpeta");
        row("permission", EACCES, "append as nobody", "su usuario no tiene permiso");
        row("busy program", ETXTBSY, "append to this program", "es un programa que está en marcha");
        row("link loop", ELOOP, "append through a loop",
            "demasiados enlaces simbólicos seguidos (¿un enlace en círculo?)");
        row("name too long", ENAMETOOLONG, "append to a long name", "el nombre es demasiado largo");
        row("no space", ENOSPC, "write to /dev/full", "no queda espacio en el disco");
        row("is a folder", EISDIR, "open a folder to write", "es una carpeta, no un archivo");
        row("exists", EEXIST, "make a folder that is there", "ya existe");
        row("not permitted", EPERM, "", "el sistema no lo permite");
        row("busy", EBUSY, "", "está ocupado por otro programa o por el sistema");
        row("read-only disk", EROFS, "", "el disco es de solo lectura");
        row("quota", EDQUOT, "", "su usuario ha agotado su cuota de disco");
        row("too large", EFBIG, "", "el archivo llegaría a más del tamaño permitido");
        row("i/o", EIO, "", "error de entrada/salida: el disco o el dispositivo falló");
        row("too many links", EMLINK, "", "demasiados enlaces a un mismo archivo o carpeta");
        row("too many open", EMFILE, "", "hay demasiados archivos abiertos");
        row("no device", ENXIO, "", "el dispositivo no está conectado");
        row("unknown", 131, "", "fallo del sistema (error 131)");
    }
    void systemReasons() {
        QFETCH(int, error);
        QFETCH(QString, how);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString file = dir.filePath("archivo");
        writeFile(file, "x");
        const auto append = [](const QString& path) {
            try {
                openGuarded(path, FileAccess::Append);
            } catch (const Failure& f) {
                return f.description();
            }
            return QString();
        };
        const auto call = [](bool failed) { return failed ? systemReason() : QString(); };
        QString said;
        if (how == "append in a missing folder")
            said = append(dir.filePath("none/x"));
        if (how == "append under a file")
            said = append(file + "/x");
        if (how == "append as nobody") {
            const bool root = ::geteuid() == 0;
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), root ? 0700 : 0), 0);
            if (root)
                QCOMPARE(::seteuid(65534), 0);
            said = append(file);
            if (root)
                QCOMPARE(::seteuid(0), 0);
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0700), 0);
        }
        if (how == "append to this program")
            said = append(QCoreApplication::applicationFilePath());
        if (how == "append through a loop") {
            QVERIFY(QFile::link(dir.filePath("a"), dir.filePath("b")));
            QVERIFY(QFile::link(dir.filePath("b"), dir.filePath("a")));
            said = append(dir.filePath("a"));
        }
        if (how == "append to a long name")
            said = append(dir.filePath(QString(300, 'x')));
        if (how == "write to /dev/full") {
            const UniqueFd full(::open("/dev/full", O_WRONLY));
            said = call(!writeAll(full.get(), "bytes"));
        }
        if (how == "open a folder to write")
            said = call(
                UniqueFd(::open(QFile::encodeName(dir.path()).constData(), O_WRONLY)).get() < 0);
        if (how == "make a folder that is there")
            said = call(::mkdir(QFile::encodeName(dir.path()).constData(), 0700) != 0);
        if (how.isEmpty())
            said = systemReason(error);
        QVERIFY2(said == reason || said.endsWith(": " + reason), qPrintable(said));
    }

    // A relative XDG_CONFIG_HOME is ignored; with no home at all, refused.
    void configFolderFollowsXdg() {
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("XDG_CONFIG_HOME", "conf");
        qputenv("HOME", "/h");
        QCOMPARE(RegStore().fileName(), QStringLiteral("/h/.config/Horvex/Horvex.conf"));
        qunsetenv("HOME");
        QVERIFY_THROWS_EXCEPTION(Failure, RegStore().fileName());
        qputenv("HOME", oldHome);
    }

    // One window per store. Whatever a dead or foreign holder left in the
    // lock, nobody holds it, so it is free; a second window is told who holds
    // it, and takes it once the first is gone.
    void windowLock_data() {
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x01\xff\n\nzz");
        QTest::newRow("other host") << QByteArray("1234 otro-equipo ventana\n");
    }
    void windowLock() {
        QFETCH(QByteArray, left);
        writeFile(box_->file() + ".ventana", left);
        auto first = std::make_unique<WindowLock>(box_->file());
        QVERIFY(first->acquire());
        WindowLock second(box_->file());
        QVERIFY(!second.acquire());
        const qint64 pid = QCoreApplication::applicationPid();
        QCOMPARE(second.holder(), QStringLiteral("proceso %1").arg(pid));
        QCOMPARE(second.windowPid(), std::optional(pid)); // to call it to the front
        first.reset();
        QVERIFY(second.acquire());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
