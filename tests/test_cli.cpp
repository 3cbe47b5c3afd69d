// The command line as a user or a timer runs it: the real binary, with no
// display, a throw-away home (store, record, a folder standing in for
// /dev/serial/by-id) and a pseudo-terminal as the line.

#include "decoder.h"
#include "fakes.h"
#include "listener.h"
#include "schedule/window_lock.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/timex.h>

using namespace horvex;
using namespace horvex::testing;

namespace {

struct Result {
    int exit = -1;
    QString out, err;
    QString all() const { return out + err; }
};

class User {
public:
    Pty line;
    QString fakeTime; // the wall clock's time in Madrid when the program starts

    User() { QDir().mkpath(byId()); }
    QString path(const QString& name = {}) const { return dir_.filePath(name); }
    QString byId() const { return path(QStringLiteral("by-id")); }
    QString store() const { return path(QStringLiteral("config/Horvex/Horvex.conf")); }
    QString record() const { return path(QStringLiteral("state/Horvex/envios.log")); }
    // The store holds COM4 on the line, then `text`.
    void setStore(const QByteArray& text) const {
        writeFile(store(), "[Puertos]\nCOM4=" + line.path().toLocal8Bit() + "\n" + text);
    }
    // %H the home folder, %P the line, %L the line's stable name once linked,
    // %D the sample calendar's folder.
    QString expand(QString text) const {
        return text.replace("%H", path())
            .replace("%D", QStringLiteral(HORVEX_DEMO))
            .replace("%P", line.path())
            .replace("%L", byId() + "/usb-FTDI_FT232R_A12345-if00-port0");
    }

    std::unique_ptr<QProcess> start(const QStringList& args,
                                    const std::function<void()>& inChild = {},
                                    bool fullDisk = false) const {
        auto p = std::make_unique<QProcess>();
        if (inChild)
            p->setChildProcessModifier(inChild);
        if (fullDisk)
            p->setStandardOutputFile(QStringLiteral("/dev/full"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* gone : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(gone));
        env.insert(QStringLiteral("HOME"), path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state")));
        env.insert(QStringLiteral("HORVEX_SERIAL_BY_ID"), byId());
        if (!fakeTime.isEmpty()) {
            env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Madrid"));
            env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
            // libfaketime is preloaded before a sanitizer's runtime.
            const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       asan + (asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
        }
        p->setProcessEnvironment(env);
        if (fakeTime.isEmpty())
            p->start(QStringLiteral(HORVEX), args);
        else
            p->start(QStringLiteral("faketime"), QStringList{fakeTime, HORVEX} + args);
        return p;
    }
    // The sample school year as this user's calendar, its weekday timetable
    // stored; `calendar` false keeps the timetable alone.
    void useSample(bool calendar = true) const {
        for (const QString& f : QDir(HORVEX_DEMO).entryList(QDir::Files))
            if (calendar || f == QLatin1String("horario.ini"))
                QVERIFY(QFile::copy(expand("%D/") + f, path("config/Horvex/") + f));
        QCOMPARE(run({"--import", path("config/Horvex/horario.ini")}).exit, 0);
    }
    // The exit code, or minus the signal that ended the program.
    static Result finish(QProcess& p) {
        const int code = !p.waitForFinished(10000)                ? -1000
                         : p.exitStatus() == QProcess::NormalExit ? p.exitCode()
                                                                  : -p.exitCode();
        return {code, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    Result run(const QStringList& args) const { return finish(*start(args)); }

    // One command of a sequence: what it must say (on stdout or stderr) and
    // whether it changes the store.
    struct Step {
        QStringList args;
        int exit;
        QString says;
        bool changesStore = false;
        bool windowOpen = false;
    };
    void runSteps(const QList<Step>& steps) const {
        for (const Step& step : steps) {
            const QByteArray before = readFile(store());
            QStringList args;
            for (const QString& a : step.args)
                args << expand(a);
            std::optional<WindowLock> window;
            if (step.windowOpen)
                QVERIFY(window.emplace(store()).acquire());
            const Result r = run(args);
            QCOMPARE(r.exit, step.exit);
            QVERIFY2(r.all().contains(expand(step.says)), qPrintable(r.all()));
            QCOMPARE(readFile(store()) != before, step.changesStore);
        }
    }

private:
    QTemporaryDir dir_;
};

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestCli : public QObject {
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
            << 1 << "horvex: COM7 (/nonexistent/ttyHX): No such file or directory" << 0
            << "COM7 (/nonexistent/ttyHX) 0 COM7 (/nonexistent/ttyHX): No such file";
        QTest::newRow("a device that is no port")
            << QStringList{"--sync", "--port", "7"} << QByteArray("COM7=/dev/null\n") << "" << 1
            << "horvex: COM7 (/dev/null): Inappropriate ioctl for device. No hay ningún puerto "
               "serie en este equipo"
            << 0 << "COM7 (/dev/null) 0 COM7 (/dev/null): Inappropriate ioctl";
        QTest::newRow("bare device name")
            << QStringList{"--sync", "--port", "6"} << QByteArray("COM6=horvex-none\n") << "" << 1
            << "COM6 (/dev/horvex-none): No such file" << 0
            << "COM6 (/dev/horvex-none) 0 COM6 (/dev/horvex-none): No such file";
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
            << "de 82 COM4 (%P): Input/output error (envío interrumpido: enviados ";
        QTest::newRow("hang-up before the frame")
            << sync << slot0 << "hang-up before" << 1 << "(envío interrumpido: enviados 0 de 82"
            << 0 << "0 de 82 COM4 (%P): Input/output error";
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

        for (QString& a : args)
            a = user.expand(a);
        const std::unique_ptr<QProcess> p = user.start(args, limit);
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
        QCOMPARE(r.exit, exit);
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

    // Arguments -> exit code -> what is said. ">full" sends standard output to
    // a full disk; exit -1 is the window, still open.
    void usage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says");
        const auto row = [](const char* name, const QStringList& args, int exit, const char* says) {
            QTest::newRow(name) << args << exit << QString::fromUtf8(says);
        };
        row("near miss", {"--sycn"}, 64, "opción desconocida «--sycn»; ¿quería decir --sync?");
        row("start of a name", {"--list"}, 64, "¿quería decir --list-ports?");
        row("no value", {"--sync", "--port"}, 64, "falta el valor de --port (N)");
        row("= value", {"--history=3"}, 0, "Todavía no hay envíos");
        row("negative count", {"--history", "-1"}, 64, "--history: «-1» no es un número positivo");
        row("twice", {"--export", "a", "--export", "b"}, 64, "--export está dos veces");
        row("empty file", {"--sync", "--schedule", ""}, 64, "--schedule: el valor está vacío");
        row("empty, optional", {"--show", ""}, 64, "--show: el valor está vacío");
        row("empty after =", {"--import="}, 64, "--import: el valor está vacío");
        row("flag with value", {"--sync=1"}, 64, "--sync no lleva valor");
        row("goes with", {"--history", "--port", "2"}, 64,
            "--port va con --sync, no con --history");
        row("two commands", {"--show", "x", "--sync"}, 64, "--show y --sync no se pueden combinar");
        row("window option", {"--sync", "-style", "fusion"}, 64,
            "«-style» es una opción de la ventana");
        row("window", {"-platform", "offscreen", "-style", "fusion", "-reverse"}, -1, "");
        row("version", {"--version"}, 0, "Horvex 1.12\n");
        row("help", {"--help"}, 0,
            "  --schedule ARCHIVO  Usa el horario de ARCHIVO en vez del guardado. Con\n"
            "                          --sync o --print-frame.");
        row("no folder", {"--export", "%H/none/x.ini"}, 1, "la carpeta %H/none no existe");
        row("full disk", {"--show", ">full"}, 1,
            "no se pudo escribir en la salida estándar: No space left on device");
        row("full disk, export", {"--export", "-", ">full"}, 1, "No space left on device");
        row("day", {"--day", "2027-03-19", "--calendar", "%D/calendario.ini"}, 0,
            "2027-03-19 viernes: silencio\nRegla: [Calendarios] festivos.ics (línea 23 de "
            "calendario.ini): «San José», línea 21 de festivos.ics\nSin timbres.\n");
        row("day, no calendar", {"--day", "2027-03-19"}, 0,
            "2027-03-19 viernes: guardado\nRegla: ninguna regla del calendario llega");
        row("day that is not", {"--day", "2027-02-30"}, 64,
            "--day: «2027-02-30» no es una fecha AAAA-MM-DD que exista");
        row("plan", {"--plan", "2027-03", "--calendar", "%D/calendario.ini"}, 0,
            "lu  ma  mi  ju  vi  sá  do\n 1.  2.  3.  4.  5V  6-  7-\n 8E  9E 10E 11E 12E 13- "
            "14-\n15. 16. 17. 18V 19- 20- 21-\n");
        row("check", {"--check", "--calendar", "%D/calendario.ini"}, 0,
            "aviso: %D/festivos.ics:33: «Claustro»: evento con hora (2027-03-16 16:00), no marca "
            "ningún día\n");
        row("check, errors", {"--check", "--calendar", "%D/viernes.ini"}, 1,
            "%D/viernes.ini:2: sección [Timbres] desconocida");
        row("check, no file", {"--check", "--calendar", "%H/none.ini"}, 1, "%H/none.ini no existe");
        row("calendar goes with", {"--show", "--calendar", "x"}, 64,
            "--calendar va con --sync, --print-frame, --day, --plan, --check o --calendar-window, "
            "no con --show");
        row("schedule and calendar", {"--sync", "--schedule", "a", "--calendar", "b"}, 64,
            "--schedule envía su archivo tal cual, sin calendario");
    }
    void usage() {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, says);
        User user;
        for (QString& a : args)
            a = user.expand(a);
        const bool full = args.removeAll(QStringLiteral(">full")) > 0;
        const std::unique_ptr<QProcess> p = user.start(args, {}, full);
        if (exit == -1) {
            QVERIFY(!p->waitForFinished(1500)); // a refusal takes milliseconds
            p->kill();
            return;
        }
        const Result r = User::finish(*p);
        QCOMPARE(r.exit, exit);
        QVERIFY2(r.all().contains(user.expand(says)), qPrintable(r.all()));
        QVERIFY(!QFileInfo::exists(user.path("none")));
        if (args.first() == QLatin1String("--help"))
            QVERIFY(r.out.contains("Códigos de salida:") && r.out.endsWith("man horvex\n"));
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

    // A second upload while one is on the line is refused and sends nothing.
    void twoProcessesOnOnePort() {
        User user;
        user.setStore({});
        const std::unique_ptr<QProcess> a = user.start({"--sync"});
        const std::unique_ptr<QProcess> b = user.start({"--sync"});
        const Result ra = User::finish(*a);
        const Result rb = User::finish(*b);
        QCOMPARE(QList<int>({ra.exit, rb.exit}).count(0), 1);
        const Result& refused = ra.exit == 0 ? rb : ra;
        QCOMPARE(refused.exit, 1);
        QVERIFY2(refused.all().contains(QStringLiteral("el puerto está en uso por otro programa")),
                 qPrintable(refused.all()));
        const QByteArray bytes = user.line.drain();
        QCOMPARE(bytes.size(), reloj::kFrameSize);
        QVERIFY(reloj::decode(bytes).ok());
    }

    // What --print-frame shows, byte and slot, is what the clock would read.
    void printFrameAgreesWithTheDecoder() {
        User user;
        user.setStore(
            "[HH]\ncboHH0=07\ncboHH35=23\n[MM]\ncboMM0=30\ncboMM35=60\n[ALA]\nchkAla35=1\n"
            "chkAla0=2\n[TAla]\nCorto=15\nLargo=01\n");
        const Result r = user.run({"--print-frame"});
        QCOMPARE(r.exit, 0);
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

    // The line stands in for a USB adapter with a stable name.
    void portCommands() {
        User user;
        const QString link = user.expand("%L");
        QVERIFY(QFile::link(user.line.path(), link));
        writeFile(user.store(), "; kept\n[COMM]\ncboport=4\n[Puertos]\nCOM4=/dev/horvex-none\n");
        user.runSteps({
            {{"--list-ports"},
             0,
             "%P\n  nombre fijo:   %L\n  lo abre:       ningún COM (use --map-port)\n"
             "Puerto guardado: COM4 (/dev/horvex-none, que no existe)\n"
             "Para usar %P como COM4: horvex --map-port 4=%L"},
            {{"--map-port", "4=/dev/horvex-none2"},
             1,
             "no se puede usar /dev/horvex-none2: No such file or directory. Puertos serie en "
             "este equipo: %P. Para usarlo como COM4: horvex --map-port 4=%L"},
            {{"--map-port", "4=%H"}, 1, "es una carpeta, no un dispositivo de caracteres"},
            {{"--map-port", "4"}, 64, "no es N=DISPOSITIVO"},
            {{"--map-port", "256=%P"}, 64, "no es N=DISPOSITIVO con N de 1 a 255"},
            {{"--map-port", "4=%H/config/Horvex/Horvex.conf"},
             1,
             "es un archivo, no un dispositivo"},
            {{"--map-port", "4=/dev/null"}, 1, "/dev/null: no es un puerto serie"},
            {{"--map-port", "3=%H/by-id/usb-later"},
             0,
             "aviso: %H/by-id/usb-later no está enchufado ahora; COM3 lo abrirá cuando lo esté",
             true},
            {{"--map-port", "4=%P"}, 0, "%P es también %L", true},
            {{"--list-ports"},
             0,
             "lo abre:       COM4 (asignado en [Puertos])\n"
             "Puerto guardado: COM4 (%P)"},
            {{"--map-port", "COM4="}, 0, "COM4 abre ahora /dev/ttyS3", true},
        });
        QVERIFY(readFile(user.store()).startsWith("; kept\n[COMM]\ncboport=4\n"));
        // The one port has a number already: choosing it beats mapping another.
        user.runSteps({{{"--map-port", "2=%P"}, 0, "COM2 abre ahora %P", true},
                       {{"--list-ports"},
                        0,
                        "%P ya es COM2: elija COM2 en las opciones de puerto (con --sync: --port "
                        "2), o para que COM4 lo abra siempre: horvex --map-port 4=%L"}});

        QVERIFY(QFile::remove(link)); // unplugged
        const Result none = user.run({"--list-ports"});
        QVERIFY2(none.out.startsWith("No hay ningún puerto serie en este equipo.") &&
                     none.out.contains("dmesg"),
                 qPrintable(none.out));
    }

    // Every refused import leaves the store as it was, byte for byte.
    void scheduleFiles() {
        User user;
        QCOMPARE(user.run({"--export", user.path("fresh.ini")}).exit, 0); // no store yet
        const QByteArray kept = "; kept\n[COMM]\ncboport=7\n[Puertos]\nCOM4=/dev/x\n";
        const QByteArray old =
            "[HH]\ncboHH0=07\ncboHH1=12\ncboHH2=07\ncboHH4=08\ncboHH7=24\n"
            "[MM]\ncboMM0=30\ncboMM2=30\ncboMM4=60\ncboMM7=15\n[ALA]\nchkAla0=1\n";
        writeFile(user.store(), kept + old);
        writeFile(user.path("old-bad.ini"), QByteArray(old)
                                                .replace("cboHH4=08", "cboHH3=7\ncboHH40=24")
                                                .replace("chkAla0=1", "chkAla4=2"));
        writeFile(user.path("hand.ini"), "; Viernes\n[Timbres]\ncorto=03\nlargo=05\n08:00\n"
                                         "H00=07:00 largo\n12:00 largo ; recreo\n");
        writeFile(user.path("bad.ini"), "x\n[Timbres]\ncorto=2\nlargo=05\n7:30\n08:00 fuerte\n"
                                        "H01=09:00\nH1=10:00\n09:00\nH36=11:00\n[HH]\n");
        const Result exported = user.run({"--export", user.path("good.ini")});
        QCOMPARE(exported.exit, 0);
        QVERIFY2(exported.err.contains("aviso: H00 y H02: a la misma hora, 07:30; --import no "
                                       "aceptará"),
                 qPrintable(exported.err));
        const QByteArray good = readFile(user.path("good.ini"));
        QCOMPARE(user.run({"--export", "-"}).out.toUtf8(), good);
        QVERIFY(good.contains("[Timbres]\ncorto=02\nlargo=05\nH00=07:30 largo\nH02=07:30\n"
                              "H04=08:60\nH01=12:00\nH07=24:15\n"));
        writeFile(
            user.path("next.ini"),
            QByteArray(good).replace("H01=12:00", "H01=13:00").replace("H02=07:30", "H02=07:45"));

        user.runSteps({
            {{"--show"},
             0,
             "Timbres: corto 02, largo 05\n07:30  largo  (H00)\n07:30  corto  (H02)\n"
             "08:60  corto  (H04)\n12:00  corto  (H01)\nSin usar: 32 de 36\nAvisos:\n"
             "  H04: minuto 60 (08:60), que no es una hora del día\n"
             "  H00 y H02: a la misma hora, 07:30\n"},
            {{"--show", "%H/old-bad.ini"}, 0, "7:00  corto  (H03)"},
            {{"--import", "%H/old-bad.ini"},
             1,
             "%H/old-bad.ini no es un horario válido:\n  HH/cboHH3: «7» (la lista ofrece 00 a 24)\n"
             "  ALA/chkAla4: «2» (se espera 0 o 1)\n"
             "  TAla/Corto, TAla/Largo, HH/cboHH4, …: faltan 100 de los 110 valores; un horario "
             "los lleva todos (horvex --export escribe uno completo)\n"
             "  HH/cboHH40: clave desconocida\n"
             "horvex: No se importó nada: el horario guardado sigue igual."},
            {{"--import", "%H/bad.ini"},
             1,
             "%H/bad.ini no es un horario válido:\n  línea 1: «x» antes de [Timbres]\n"
             "  línea 3: corto: «2» (la lista ofrece 01 a 15)\n"
             "  línea 5: hora «7» (la lista ofrece 00 a 24)\n"
             "  línea 6: «fuerte» tras la hora: se espera «largo» o nada\n"
             "  línea 8: H01 repetida (ya en la línea 7)\n"
             "  línea 9: 09:00 repetido (ya en la línea 7)\n"
             "  línea 10: «H36»: las ranuras van de H00 a H35\n"
             "  línea 11: sección [HH] desconocida: un horario solo tiene [Timbres]\n"},
            {{"--import", "%H/good.ini"}, 1, "línea 8: 07:30 repetido (ya en la línea 7)"},
            {{"--import", "%H"}, 1, "%H es una carpeta, no un archivo"},
            {{"--import", "%H/none.ini"}, 1, "%H/none.ini no existe"},
            {{"--show", "%H/none.ini"}, 1, "%H/none.ini no existe"},
            {{"--print-frame", "--schedule", "%H/hand.ini"},
             0,
             "H00  07:00  largo   B7 30\nH01  08:00  corto   38 30\nH02  12:00  largo   C2 30\n"},
            {{"--import", "%H/next.ini"},
             1,
             "Horvex está abierto con esta configuración",
             false,
             true},
            {{"--import", "%H/next.ini"}, 0, "4 alarmas en uso, timbres corto 02 y largo 05", true},
            {{"--show"}, 0, "07:45  corto  (H02)\n08:60  corto  (H04)\n13:00  corto  (H01)"},
        });
        QVERIFY(readFile(user.store()).startsWith(kept));
        QCOMPARE(user.run({"--export", "-"}).out.toUtf8(), readFile(user.path("next.ini")));
    }

    // The sample calendar's upload on Wednesday 2027-03-17 at noon, as the
    // clock reads it: the rest of the day's timetable, then Thursday's short
    // day up to noon; the record names the rules. An unsynchronised PC clock
    // is a warning only.
    void calendarUploadAtAChosenMoment() {
        if (QStandardPaths::findExecutable(QStringLiteral("faketime")).isEmpty())
            QSKIP("faketime is not installed");
        QString error;
        const std::unique_ptr<reloj::Listener> clock = reloj::Listener::openPty(&error);
        QVERIFY2(clock, qPrintable(error));
        User user;
        writeFile(user.store(), "[Puertos]\nCOM4=" + clock->path().toLocal8Bit() + "\n");
        user.useSample();
        user.fakeTime = QStringLiteral("2027-03-17 12:00:30");
        auto received = std::async(std::launch::async, [&] { return clock->next(5000); });
        const Result r = user.run({"--sync"});
        QCOMPARE(r.exit, 0);
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
            << "salió a medias: no se sabe qué tiene el reloj), pero hay un timbre a las 10:45, a "
               "menos de un minuto"
            << false;
        QTest::newRow("a change waits for the day's last bell")
            << true << six << "10:50:00"
            << "sonará distinto del calendario el 2027-03-18 a las 08:55 (el reloj tiene 08:55 "
               "corto y el calendario no): se enviará después del último timbre de hoy, a las 14:00"
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
            << "suena como el horario guardado en las próximas 24 horas: no se envía nada."
            << false;
    }
    void ifNeeded() {
        QFETCH(bool, calendar);
        QFETCH(QStringList, record);
        QFETCH(QString, now);
        QFETCH(QString, says);
        QFETCH(bool, sends);
        if (QStandardPaths::findExecutable(QStringLiteral("faketime")).isEmpty())
            QSKIP("faketime is not installed");
        User user;
        user.setStore({});
        user.useSample(calendar);
        const QStringList shown =
            lines(user.run({"--print-frame", "--schedule", user.expand("%D/horario.ini")}).out);
        QByteArray frame;
        for (const QString& l : shown.mid(1, 6))
            frame += QByteArray::fromHex(l.section(QLatin1Char(':'), 1).toLatin1());
        QByteArray lines;
        for (const QString& upload : record) {
            const QStringList f = upload.split(' ');
            const bool cut = f.value(2) == QLatin1String("cut");
            lines += (f[0] + ":00.000+01:00\t" + f[1] + "\tCOM4\t/dev/ttyS3\t" +
                      (cut ? "COM4: Input/output error\t40\t" : "enviado\t82\t"))
                         .toUtf8() +
                     frame.toHex().toUpper() + "\t1-0000000" + QByteArray::number(lines.size()) +
                     "\n";
        }
        writeFile(user.record(), lines);
        user.fakeTime = "2027-03-17 " + now;
        const Result r = user.run({"--sync", "--if-needed"});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.out.contains(says), qPrintable(r.all()));
        QCOMPARE(user.line.drain().size(), sends ? reloj::kFrameSize : 0);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
