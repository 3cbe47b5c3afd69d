// --status through the real program, at moments set with faketime, over a
// record of uploads written as fixture lines; and the desktop's notices of
// the timed runs, against a stand-in notification service on a private
// session bus.

#include "cli_user.h"
#include "schedule/guarded_file.h"

#include <QScopeGuard>
#include <QStandardPaths>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

using namespace horvex;
using namespace horvex::testing;

namespace {

// The sample weekday timetable (tools/demo/horario.ini) as sent at 06:00:00:
// 08:00L 08:55 09:50 10:45L 11:15 12:10 13:05 14:00L, 28 unused slots, ring
// lengths 02 and 05.
const QByteArray kWeekday =
    "02363030B83038853980C075414542404335C430" + QByteArray("5430").repeated(28) + "32354B540D0A";

// A record line: "2027-03-17T06:00 sync" sent whole; "cut" or "failed" after
// it for an upload cut mid-way or one that never started.
QByteArray recordLine(const QString& upload) {
    const QStringList f = upload.split(' ');
    const QString how = f.value(2);
    const QByteArray result = how == "cut"      ? "COM4: Input/output error\t40\t"
                              : how == "failed" ? "COM4 (/dev/ttyS3): no existe\t0\t"
                                                : "enviado\t82\t";
    return (f[0] + ":00.000+01:00\t" + f[1] + "\tCOM4\t/dev/ttyS3\t").toUtf8() + result + kWeekday +
           "\t1-" + f[0].right(5).remove(':').toUtf8() + "000\n";
}

// A socket that takes connections and never says a word: a bus that hangs.
UniqueFd silentSocket(const QString& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(at.sun_path, name.constData(), std::min<std::size_t>(name.size(), 100));
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(fd.get(), 4) != 0)
        return UniqueFd();
    return fd;
}

// Whether `text` holds the parts of `pattern` between its "…" in order.
bool matches(const QString& text, const QString& pattern) {
    qsizetype at = 0;
    for (const QString& part : pattern.split(QStringLiteral("…"))) {
        at = text.indexOf(part, at);
        if (at < 0)
            return false;
        at += part.size();
    }
    return at == text.size();
}

// systemctl as the user manager would answer is-enabled: the word, or
// nothing and a failure when it cannot be reached.
void fakeSystemctl(User& user, const QString& word) {
    const QString bin = user.path("bin");
    QDir().mkpath(bin);
    writeFile(bin + "/systemctl",
              word.isEmpty()
                  ? "#!/bin/sh\necho 'Failed to connect to bus: No medium found' >&2\n"
                    "exit 1\n"
                  : ("#!/bin/sh\necho " + word + "\n[ " + word + " = enabled ]\n").toUtf8());
    QFile::setPermissions(bin + "/systemctl", QFile::ReadOwner | QFile::ExeOwner);
    user.environment["PATH"] = bin + ":" + qEnvironmentVariable("PATH");
}

} // namespace

class TestCliStatus : public QObject {
    Q_OBJECT
private slots:
    // Each verdict, its exit code and first line, and a detail that says why.
    void verdicts_data() {
        QTest::addColumn<QString>("calendar"); // "sample", "broken", "conflict" or none
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QByteArray>("state"); // the timer's state file
        QTest::addColumn<QString>("systemctl");
        QTest::addColumn<QString>("now");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("detail");
        const QStringList six{"2027-03-17T06:00 sync"};
        const QString perf = " | desde_envio=3600s;;;0; listo=950400s;;3600:;0;2678400";
        const QString ok =
            "HORVEX OK - el reloj está al día, listo hasta el 2027-03-28 a las 08:00";
        QTest::newRow("right until the clocks change")
            << "" << six << QByteArray() << "enabled"
            << "2027-03-17 07:00:00" << 0 << ok + perf
            << "Listo hasta el 2027-03-28 a las 08:00: entonces el horario guardado tiene 08:00 "
               "largo y el reloj no.\nNo hay calendario";
        QTest::newRow("user manager not reachable")
            << "" << six << QByteArray() << ""
            << "2027-03-17 07:00:00" << 0 << ok + perf
            << "Temporizador: no se pudo preguntar al gestor de servicios del usuario";
        QTest::newRow("timer disabled")
            << "" << six << QByteArray() << "disabled"
            << "2027-03-17 07:00:00" << 1
            << "HORVEX WARNING - el temporizador no está activado" + perf
            << "horvex-sync.timer desactivado: nada se envía solo";
        QTest::newRow("last timed run failed")
            << "" << QStringList{six.first(), "2027-03-17T06:45 sync failed"}
            << QByteArray("[Pasada]\nhora=2027-03-17T06:45:00.000+01:00\ndecision=enviar\n"
                          "resultado=fallido\nmotivo=COM4 (/dev/ttyS3): no existe\n"
                          "envio=1-0645000\n")
            << "enabled"
            << "2027-03-17 07:00:00" << 1
            << "HORVEX WARNING - la última pasada del temporizador falló" + perf
            << "Última pasada del temporizador: 2027-03-17 a las 06:45: no se envió: COM4 "
               "(/dev/ttyS3): no existe\nEnvíos fallidos desde el último que salió entero: 1.";
        QTest::newRow("calendar warnings only")
            << "sample" << six << QByteArray() << "enabled"
            << "2027-03-17 07:00:00" << 1
            << "HORVEX WARNING - el calendario tiene 1 aviso | desde_envio=3600s;;;0; "
               "listo=93300s;;3600:;0;2678400"
            << "Listo hasta el 2027-03-18 a las 08:55";
        QTest::newRow("rings otherwise within the hour")
            << "sample" << six << QByteArray() << "enabled"
            << "2027-03-18 08:00:00" << 2
            << "HORVEX CRITICAL - el reloj suena distinto del calendario el 2027-03-18 a las "
               "08:55; el calendario tiene 1 aviso | desde_envio=93600s;;;0; "
               "listo=3300s;;3600:;0;2678400"
            << "aviso: %H/config/Horvex/festivos.ics:33: «Claustro»";
        QTest::newRow("calendar errors")
            << "broken" << six << QByteArray() << "enabled"
            << "2027-03-17 07:00:00" << 2 << "HORVEX CRITICAL - el calendario tiene 1 error" + perf
            << "%H/config/Horvex/calendario.ini:1: sección [Timbres] desconocida";
        QTest::newRow("a conflict stops no bell")
            << "conflict" << six << QByteArray() << "enabled"
            << "2027-03-17 07:00:00" << 1
            << "HORVEX WARNING - el calendario tiene 1 conflicto (gana la regla escrita la "
               "última) | desde_envio=3600s"
            << "0 errores, 1 conflicto, 0 avisos";
        QTest::newRow("nothing sent yet")
            << "" << QStringList() << QByteArray() << "enabled"
            << "2027-03-17 07:00:00" << 2
            << "HORVEX CRITICAL - no consta que el reloj haya recibido entera ninguna trama | "
               "desde_envio=U;;;0; listo=U;;3600:;0;2678400"
            << "Envíos fallidos desde el último que salió entero: 0.";
        QTest::newRow("a later upload cut")
            << "" << QStringList{six.first(), "2027-03-17T06:30 sync cut"} << QByteArray()
            << "enabled"
            << "2027-03-17 07:00:00" << 2
            << "HORVEX CRITICAL - no se sabe qué tiene el reloj | desde_envio=3600s"
            << "Pero el envío del 2027-03-17 a las 06:30 salió a medias";
        QTest::newRow("record unreadable")
            << "" << QStringList{"folder"} << QByteArray() << "enabled"
            << "2027-03-17 07:00:00" << 3
            << "HORVEX UNKNOWN - no se puede leer el registro de envíos | desde_envio=U;;;0; "
               "listo=U;;3600:;0;2678400"
            << "No se puede leer el registro de envíos: %H/state/Horvex/envios.log es una carpeta";
        QTest::newRow("state unreadable")
            << "" << six << QByteArray("\xff") << "enabled"
            << "2027-03-17 07:00:00" << 3
            << "HORVEX UNKNOWN - no se puede leer el estado del temporizador" + perf
            << "No se puede leer el estado del temporizador: ";
    }
    void verdicts() {
        QFETCH(QString, calendar);
        QFETCH(QStringList, record);
        QFETCH(QByteArray, state);
        QFETCH(QString, systemctl);
        QFETCH(QString, now);
        QFETCH(int, exit);
        QFETCH(QString, first);
        QFETCH(QString, detail);
        if (fakeTimeLibrary().isEmpty())
            QSKIP("faketime is not installed");
        User user;
        user.setStore({});
        user.useSample(calendar == "sample");
        if (calendar == "broken")
            writeFile(user.path("config/Horvex/calendario.ini"), "[Timbres]\n");
        if (calendar == "conflict")
            writeFile(user.path("config/Horvex/calendario.ini"),
                      "[Semana]\nmiercoles=libre\nmiercoles=silencio\n");
        if (record == QStringList{"folder"}) {
            QVERIFY(QDir().mkpath(user.record()));
        } else if (!record.isEmpty()) {
            QByteArray lines;
            for (const QString& upload : record)
                lines += recordLine(upload);
            writeFile(user.record(), lines);
        }
        if (state == "\xff")
            QVERIFY(QDir().mkpath(user.path("state/Horvex/temporizador.ini")));
        else if (!state.isEmpty())
            writeFile(user.path("state/Horvex/temporizador.ini"), state);
        fakeSystemctl(user, systemctl);
        user.fakeTime = now;
        user.clockStands = true;
        const Result r = user.run({"--status"});
        HORVEX_COMPARE_EXIT(r, exit);
        QVERIFY2(r.out.startsWith(user.expand(first)), qPrintable(r.all()));
        QVERIFY2(r.out.contains(user.expand(detail)), qPrintable(r.all()));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    }

    // A day of timed runs with the desktop's notification service there:
    // one notice per cause and day, one when an upload went out again.
    void notices() {
        if (fakeTimeLibrary().isEmpty() || QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("faketime or dbus-daemon is not installed");
        User user;
        QProcess bus;
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        QProcess service;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        service.setProcessEnvironment(env);
        service.start(STAND_IN, {user.path("notices")});
        QVERIFY(service.waitForReadyRead(10000));
        QCOMPARE(service.readLine(), "listo\n");
        user.environment["DBUS_SESSION_BUS_ADDRESS"] = address;
        const auto stop = qScopeGuard([&] {
            service.kill();
            bus.kill();
            service.waitForFinished();
            bus.waitForFinished();
        });

        const QString calendar = user.path("config/Horvex/calendario.ini");
        struct Step {
            const char* now;
            const char* trouble; // "port", "calendar" or none
            int exit;
            QString notice; // summary, body and urgency; empty: none
        };
        const QString failed = "Horvex: el reloj no recibió el horario\t";
        const QString portAdvice =
            "\\n\\nCompruebe que el reloj está conectado a este PC y que el puerto es el suyo "
            "(«horvex --list-ports»). El temporizador lo intentará de nuevo dentro de 15 "
            "minutos.\t2";
        const QString port = failed + "COM4 (%H/none): …" + portAdvice;
        const QList<Step> steps{
            {"2027-03-17 07:00:00", "port", 1, port},
            {"2027-03-17 07:15:00", "port", 1, {}},
            {"2027-03-17 07:30:00", "calendar", 1,
             failed + "%H/config/Horvex/calendario.ini tiene errores: no se envía nada y el reloj "
                      "sigue con lo que tiene (horvex --check los muestra)\\n  "
                      "%H/config/Horvex/calendario.ini:1: sección [Timbres] desconocida…\\n\\n"
                      "Corrija el calendario o el horario: «horvex --check» muestra cada error "
                      "con su archivo y su línea. Hasta entonces el reloj sigue con lo que "
                      "tenía.\t2"},
            {"2027-03-18 07:00:00", "port", 1, port},
            {"2027-03-18 07:15:00", nullptr, 0,
             "Horvex: el reloj vuelve a estar al día\tEl temporizador envió al reloj lo que "
             "toca a las 07:15.\t1"},
            {"2027-03-18 07:30:00", nullptr, 0, {}},
        };
        user.setStore({});
        user.useSample(false);
        const QByteArray schedule = readFile(user.store()).split('\n').mid(2).join('\n');
        QStringList expected;
        for (const Step& step : steps) {
            const QByteArray trouble(step.trouble ? step.trouble : "");
            writeFile(user.store(), "[Puertos]\nCOM4=" +
                                        (trouble == "port" ? user.path("none").toLocal8Bit()
                                                           : user.line.path().toLocal8Bit()) +
                                        "\n" + schedule);
            if (trouble == "calendar")
                writeFile(calendar, "[Timbres]\n");
            else
                QFile::remove(calendar);
            user.fakeTime = step.now;
            const Result r = user.run({"--sync", "--if-needed"});
            QVERIFY2(r.exit == step.exit, qPrintable(step.now + (": " + r.all())));
            if (!step.notice.isEmpty())
                expected << user.expand(step.notice);
            const QStringList said =
                QString::fromUtf8(readFile(user.path("notices"))).split('\n', Qt::SkipEmptyParts);
            QCOMPARE(said.size(), expected.size());
            for (qsizetype i = 0; i < said.size(); ++i)
                QVERIFY2(matches(said[i], expected[i]), qPrintable(said[i]));
            user.line.drain();
        }
    }

    // With no bus, or a bus that never answers, a failed run fails as it
    // would anyway, and ends.
    void noNotificationService_data() {
        QTest::addColumn<bool>("hangs");
        QTest::newRow("no bus") << false;
        QTest::newRow("a bus that never answers") << true;
    }
    void noNotificationService() {
        QFETCH(bool, hangs);
        User user;
        UniqueFd silent;
        if (hangs)
            QVERIFY((silent = silentSocket(user.path("bus"))).valid());
        user.environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + user.path("bus");
        writeFile(user.store(), "[Puertos]\nCOM4=" + user.path("none").toLocal8Bit() + "\n");
        const Result r = user.run({"--sync", "--if-needed"});
        HORVEX_COMPARE_EXIT(r, 1);
        QVERIFY2(r.err.contains(user.expand("COM4 (%H/none)")), qPrintable(r.all()));
        QVERIFY(readFile(user.path("state/Horvex/temporizador.ini")).contains("resultado=fallido"));
    }
};

QTEST_GUILESS_MAIN(TestCliStatus)
#include "test_cli_status.moc"
