// --sync and --print-frame through the real program: what reaches the line,
// what the record keeps and what --history shows of it.

#include "cli_user.h"
#include "decoder.h"
#include "listener.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <csignal>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace horvex;
using namespace horvex::testing;

class TestCliSync : public QObject {
    Q_OBJECT
private slots:
    // Exit 0 sends one good frame, 2 a frame cut short, 1 nothing; a stop
    // signal during the frame waits for it and its record. The record is
    // whole or absent, and --history says which.
    void sync_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("exit"); // minus the signal that ended it
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("sent");         // characters on the line; -1: some, not all
        QTest::addColumn<QString>("recorded"); // what --history 1 says, blanks as one
        const QStringList sync{"--sync"};
        const QByteArray slot0 = "[HH]\ncboHH0=07\n[MM]\ncboMM0=30\n[ALA]\nchkAla0=1\n";
        QTest::newRow("sent") << sync << slot0 << "" << 0 << "Enviado a COM4 (%P): hora " << 82
                              << "sync COM4 (%P) 82 de 82 enviado";
        QTest::newRow("store is a folder")
            << sync << QByteArray() << "store-is-folder" << 1
            << "Horvex.conf es una carpeta, no un archivo" << 0
            << "sync - 0 %H/config/Horvex/Horvex.conf es una carpeta";
        QTest::newRow("value not offered") << sync << QByteArray("[HH]\ncboHH3=7\n") << "" << 1
                                           << "horvex: Hora H03: ningún valor seleccionado" << 0
                                           << "sync - 0 Hora H03: ningún valor";
        QTest::newRow("port missing")
            << QStringList{"--sync", "--port", "7"} << QByteArray("COM7=/nonexistent/ttyHX\n") << ""
            << 1 << "horvex: COM7 (/nonexistent/ttyHX): el dispositivo no existe" << 0
            << "COM7 (/nonexistent/ttyHX) 0 COM7 (/nonexistent/ttyHX): el dispositivo no existe";
        QTest::newRow("a device that is no port")
            << QStringList{"--sync", "--port", "7"} << QByteArray("COM7=/dev/null\n") << "" << 1
            << "horvex: COM7 (/dev/null): no es un puerto serie. No hay ningún puerto serie en "
               "este equipo"
            << 0 << "COM7 (/dev/null) 0 COM7 (/dev/null): no es un puerto serie";
        QTest::newRow("bare device name")
            << QStringList{"--sync", "--port", "6"} << QByteArray("COM6=horvex-none\n") << "" << 1
            << "COM6 (/dev/horvex-none): el dispositivo no existe" << 0
            << "COM6 (/dev/horvex-none) 0 COM6 (/dev/horvex-none): el dispositivo no existe";
        QTest::newRow("relative device path")
            << QStringList{"--sync", "--port", "5"} << QByteArray("COM5=dev/ttyHX\n") << "" << 1
            << "horvex: [Puertos] COM5=dev/ttyHX: una ruta relativa" << 0
            << "0 [Puertos] COM5=dev/ttyHX: una ruta relativa";
        // COM5 maps to nothing, /dev/ttyS4 is absent: the one adapter stands in.
        QTest::newRow("lone adapter")
            << sync << "[COMM]\ncboport=5\n" + slot0 << "adapter" << 0
            << "horvex: aviso: COM5 abre %P, el único adaptador USB; para que lo abra siempre: "
               "horvex --map-port 5=%L"
            << 82 << "sync COM5 (%P) 82 de 82 enviado";
        QTest::newRow("hang-up mid-frame")
            << sync << slot0 << "hang-up" << 2 << "(envío interrumpido: enviados " << -1
            << "de 82 COM4 (%P): la línea falló (error de entrada y salida): ¿se desconectó el "
               "adaptador o el cable? (envío interrumpido: enviados ";
        QTest::newRow("hang-up before the frame")
            << sync << slot0 << "hang-up before" << 1 << "(envío interrumpido: enviados 0 de 82"
            << 0 << "0 de 82 COM4 (%P): la línea falló (error de entrada y salida)";
        QTest::newRow("TERM mid-frame")
            << sync << slot0 << "TERM" << -SIGTERM << "la señal SIGTERM llegó durante el envío"
            << 82 << "sync COM4 (%P) 82 de 82 enviado";
        QTest::newRow("HUP before the frame")
            << sync << slot0 << "HUP before" << -SIGHUP
            << "llegó la señal SIGHUP antes del primer carácter" << 0
            << "0 de 82 llegó la señal SIGHUP antes del primer carácter";
        QTest::newRow("KILL mid-frame") << sync << slot0 << "KILL" << -SIGKILL << "" << -1
                                        << "? de 82 interrumpido: el programa terminó";
        QTest::newRow("record not writable")
            << sync << slot0 << "state-is-file" << 0 << "horvex: no se pudo anotar el envío en "
            << 82 << "";
        QTest::newRow("record is a FIFO")
            << sync << slot0 << "record-fifo" << 0
            << "no se pudo anotar el envío: %H/state/Horvex/envios.log no es un archivo normal"
            << 82 << "horvex: %H/state/Horvex/envios.log no es un archivo normal";
        QTest::newRow("record at the file size limit")
            << sync << slot0 << "record-limit" << 0
            << "no se pudo anotar el envío en %H/state/Horvex/envios.log: File too large" << 82
            << "2020-01-01 00:00:00 ventana COM4 (/dev/ttyS3) 82 enviado";
        QTest::newRow("calendar with errors")
            << QStringList{"--sync", "--calendar", "%D/viernes.ini"} << slot0 << "" << 1
            << "%D/viernes.ini:2: sección [Timbres] desconocida" << 0
            << "sync - 0 %D/viernes.ini tiene errores: no se envía nada";
        QTest::newRow("usage") << QStringList{"--sync", "--port", "0"} << slot0 << "" << 64
                               << "horvex: --port: «0» no es un número de puerto de 1 a 255" << 0
                               << "";
    }
    void sync() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, store);
        QFETCH(QString, setup);
        QFETCH(int, exit);
        QFETCH(QString, said);
        QFETCH(int, sent);
        QFETCH(QString, recorded);
        User user;
        user.setStore(store);
        if (setup == QLatin1String("store-is-folder")) {
            QFile::remove(user.store());
            QDir().mkpath(user.store());
        }
        if (setup == QLatin1String("adapter"))
            QVERIFY(QFile::link(user.line.path(), user.expand("%L")));
        if (setup == QLatin1String("state-is-file"))
            writeFile(QFileInfo(QFileInfo(user.record()).path()).path(), "not a folder");
        QDir().mkpath(QFileInfo(user.record()).path());
        if (setup == QLatin1String("record-fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(user.record()).constData(), 0600), 0);
        const QByteArray older =
            "2020-01-01T00:00:00.000Z\tventana\tCOM4\t/dev/ttyS3\tenviado\t82\t-\n";
        std::function<void()> limit;
        if (setup == QLatin1String("record-limit")) {
            writeFile(user.record(), older);
            limit = [size = rlim_t(older.size() + 100)] {
                const rlimit fsize{size, size};
                ::setrlimit(RLIMIT_FSIZE, &fsize);
            };
        }

        const std::unique_ptr<QProcess> p = user.start(user.expand(args), limit);
        QByteArray bytes;
        if (setup.endsWith(
                QLatin1String(" before"))) { // from the opening line it waits 30 ms or more
            QVERIFY(
                QTest::qWaitFor([&] { return readFile(user.record()).contains("\tenviando\t"); }));
        } else if (QStringList{"hang-up", "TERM", "KILL"}.contains(setup)) {
            bytes = user.line.readSome(5000);
            QVERIFY(!bytes.isEmpty());
        }
        if (setup.startsWith(QLatin1String("hang-up")))
            user.line.closeMaster();
        const QMap<QString, int> stop{{"TERM", SIGTERM}, {"KILL", SIGKILL}, {"HUP before", SIGHUP}};
        if (stop.contains(setup))
            ::kill(static_cast<pid_t>(p->processId()), stop[setup]);
        const Result r = User::finish(*p);
        HORVEX_COMPARE_EXIT(r, exit);
        QVERIFY2(r.all().contains(user.expand(said)), qPrintable(r.all()));

        bytes += user.line.drain();
        const reloj::Decoded frame = reloj::decode(bytes);
        if (sent == reloj::kFrameSize) {
            QVERIFY2(frame.ok(), qPrintable(frame.problems.value(0).text()));
            const reloj::Frame& f = *frame.frame;
            const reloj::Slot s = f.alarms[0];
            QCOMPARE(std::tuple(s.hour, s.minute, s.longRing), std::tuple(7, 30, true));
            QVERIFY(f.alarms[1].unset());
            const QTime at(f.hour, f.minute, f.second);
            QVERIFY(r.all().contains("hora " + at.toString(QStringLiteral("HH:mm:ss"))));
        } else {
            QVERIFY(bytes.size() < reloj::kFrameSize);
            QCOMPARE(bytes.isEmpty(), sent == 0);
        }
        // The file: opened before the first character, closed after the last, with one id.
        const QString at =
            R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(?:Z|[+-]\d\d:\d\d)\tsync\tCOM4\t%P\t)";
        const QString hex = bytes.toHex().toUpper(), rules = R"((?:\t[^\t\n]+)?\n)";
        if (setup.isEmpty() && exit == 0)
            QVERIFY(QRegularExpression(user.expand("^" + at + "enviando\t-\t" + hex +
                                                   R"(\t(\d+-[0-9a-f]{8}))" + rules + at +
                                                   "enviado\t82\t" + hex + R"(\t\1)" + rules + "$"))
                        .match(QString::fromUtf8(readFile(user.record())))
                        .hasMatch());

        const Result history = user.run({"--history", "1", "--frames"});
        QCOMPARE(history.exit, setup == QLatin1String("record-fifo") ? 1 : 0);
        if (recorded.isEmpty()) {
            QVERIFY(history.out.startsWith("Todavía no hay envíos"));
            return;
        }
        const QStringList shown = lines(history.all());
        QVERIFY2(
            shown.value(history.exit == 0 ? 1 : 0).simplified().contains(user.expand(recorded)),
            qPrintable(history.all()));
        if (recorded.endsWith(QLatin1String("82 de 82 enviado")))
            QVERIFY(shown.contains("  trama: " + QString::fromLatin1(bytes.toHex(' ').toUpper())));
    }

    // At its limit the record moves to envios.log.1, over the older one;
    // --history reads on into it. Reading backwards, it takes no longer for
    // a huge record, one line of binary junk with no newline at all.
    void recordRotatesAndHistoryReadsBothFiles() {
        User user;
        user.setStore("[HH]\ncboHH3=7\n");
        QByteArray old;
        int count = 0;
        for (; old.size() < 1024 * 1024 - 100; ++count)
            old += "2020-01-01T00:00:00.000Z\tventana\tCOM4\t/dev/tty" + QByteArray::number(count) +
                   "\tenviado\t82\t-\n";
        writeFile(user.record(), old);
        writeFile(user.record() + QStringLiteral(".1"), "older\n");

        QCOMPARE(user.run({"--sync"}).exit, 1);
        QCOMPARE(readFile(user.record() + QStringLiteral(".1")), old);
        const QStringList last = lines(user.run({"--history", "3"}).out);
        QCOMPARE(last.size(), 4);
        QVERIFY(last.at(1).contains(QStringLiteral("(/dev/tty%1)").arg(count - 2)));
        QVERIFY(last.at(3).endsWith(QStringLiteral(" Hora H03: ningún valor seleccionado")));

        writeFile(user.record(), QByteArray(20 * 1024 * 1024, '\xFF'));
        QElapsedTimer took;
        took.start();
        const QStringList read = lines(user.run({"--history", "2"}).out);
        QVERIFY2(took.elapsed() < 1500, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(read.size(), 3);
        QVERIFY(read.at(1).startsWith("2020-01-01 00:00:00  ventana  COM4 (/dev/tty"));
        QVERIFY2(read.at(2).startsWith("línea que no es un envío: «") && read.at(2).size() < 100 &&
                     read.at(2).endsWith("…» (20,0 MB)"),
                 qPrintable(read.at(2)));

        // Junk filling the record does not push out the proof of what the
        // clock holds: the last 100 uploads sent whole come over from the
        // older file. A value of 900 KB makes a message of at most 1 KB, a
        // line of at most 4 KB.
        QByteArray proof;
        for (int i = 0; i < 150; ++i)
            proof += "2020-01-02T00:00:00.000Z\tsync\tCOM4\t/dev/p" + QByteArray::number(i) +
                     "\tenviado\t82\t-\n";
        writeFile(user.record() + QStringLiteral(".1"), proof);
        writeFile(user.record(), QByteArray(1024 * 1024, 'x') + '\n');
        writeFile(user.path("config/Horvex/calendario.ini"),
                  "[Fechas]\n2027-05-03=" + QByteArray(900 * 1024, 'a') + "\n");
        const Result refused = user.run({"--sync"});
        HORVEX_COMPARE_EXIT(refused, 1);
        QVERIFY2(refused.err.size() < 2 * 1024 && refused.err.contains("aaaaaaaa… no existe"),
                 qPrintable(refused.err.left(3000)));
        const QByteArray rotated = readFile(user.record() + QStringLiteral(".1"));
        QVERIFY(rotated.startsWith(
            proof.mid(proof.lastIndexOf('\n', proof.indexOf("/dev/p50\t")) + 1)));
        QVERIFY(rotated.endsWith(QByteArray(1024 * 1024, 'x') + '\n'));
        const QByteArray line = readFile(user.record());
        QVERIFY2(line.size() <= 4096 && line.count('\n') == 1, line.left(200).constData());
    }

    // The clock reads the second the frame carries once its last character
    // is in. A pseudo-terminal has no line time, so that character arrives
    // one character's time (4.2 ms at 2400 baud) before the second, never
    // sooner; a busy PC can only make it later.
    void syncSetsTheClockOnTheSecond() {
        QString error;
        const std::unique_ptr<reloj::Listener> clock = reloj::Listener::openPty(&error);
        QVERIFY2(clock, qPrintable(error));
        User user;
        writeFile(user.store(), "[Puertos]\nCOM4=" + clock->path().toLocal8Bit() + "\n");
        QList<double> offsets;
        for (int run = 0; run < 3; ++run) {
            auto received = std::async(std::launch::async, [&] { return clock->next(5000); });
            QCOMPARE(user.run({"--sync"}).exit, 0);
            const std::optional<reloj::Chunk> chunk = received.get();
            QVERIFY2(chunk, qPrintable(clock->error()));
            offsets << reloj::decode(*chunk).clockOffsetMs.value_or(1e9);
        }
        std::sort(offsets.begin(), offsets.end());
        QVERIFY2(
            offsets.first() > -150 && offsets.last() < 8,
            qPrintable(QStringLiteral("%1 ms to %2 ms").arg(offsets.first()).arg(offsets.last())));
    }

    // Two uploads at once queue on the line: two whole frames, both recorded.
    void twoProcessesOnOnePort() {
        User user;
        user.setStore({});
        const std::unique_ptr<QProcess> a = user.start({"--sync"});
        const std::unique_ptr<QProcess> b = user.start({"--sync"});
        QCOMPARE(QList<int>({User::finish(*a).exit, User::finish(*b).exit}), QList<int>({0, 0}));
        const QByteArray bytes = user.line.drain();
        QCOMPARE(bytes.size(), 2 * reloj::kFrameSize);
        QVERIFY(reloj::decode(bytes.left(reloj::kFrameSize)).ok());
        QVERIFY(reloj::decode(bytes.mid(reloj::kFrameSize)).ok());
        const QString shown = user.run({"--history", "2"}).out.simplified();
        QVERIFY2(shown.count(QStringLiteral("sync COM4 (") + user.line.path() +
                             QStringLiteral(") 82 de 82 enviado")) == 2,
                 qPrintable(shown));
    }

    // What --print-frame shows, byte and slot, is what the clock would read.
    void printFrameAgreesWithTheDecoder() {
        User user;
        user.setStore(
            "[HH]\ncboHH0=07\ncboHH35=23\n[MM]\ncboMM0=30\ncboMM35=60\n[ALA]\nchkAla35=1\n"
            "chkAla0=2\n[TAla]\nCorto=15\nLargo=01\n");
        const Result r = user.run({"--print-frame"});
        HORVEX_COMPARE_EXIT(r, 0);
        const QStringList out = lines(r.out);
        QByteArray hex;
        for (const QString& l : out.mid(1, 6))
            hex += l.section(QLatin1Char(':'), 1).toLatin1();
        const reloj::Decoded d = reloj::decode(QByteArray::fromHex(hex));
        QVERIFY2(d.ok(), qPrintable(r.all()));
        const reloj::Frame& f = *d.frame;
        const QTime time(f.hour, f.minute, f.second);
        QVERIFY(out.at(7).startsWith("Hora del día: " + time.toString(QStringLiteral("HH:mm:ss"))));
        const reloj::Slot& last = f.alarms[35];
        QCOMPARE(std::tuple(f.alarms[0].longRing, last.hour, last.minute, last.longRing,
                            f.shortRing, f.longRing),
                 std::tuple(false, 23, 60, true, 15, 1));
        QCOMPARE(QStringList({out.at(8), out.at(9), out.at(43), out.at(44)}),
                 QStringList({"H00  07:30  corto   37 60", "H01  24:00  corto   54 30",
                              "H35  23:60  largo   D3 90", "Timbre corto 15, largo 01   45 31"}));
    }
};

QTEST_GUILESS_MAIN(TestCliSync)
#include "test_cli_sync.moc"
