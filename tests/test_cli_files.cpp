// The port and schedule-file commands, run as the real program in a
// throw-away home, without a display.
#include "fakes.h"
#include "schedule/window_lock.h"

#include <QProcess>

using namespace horvex;
using namespace horvex::testing;

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

class Home {
public:
    Home() { QDir().mkpath(byId()); }
    QString path(const QString& name = {}) const { return dir_.filePath(name); }
    QString byId() const { return path(QStringLiteral("by-id")); }
    QString store() const { return path(QStringLiteral("config/Horvex/Horvex.conf")); }
    QByteArray read(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& file, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    Run run(const QStringList& args) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state")));
        env.insert(QStringLiteral("HORVEX_SERIAL_BY_ID"), byId());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(HORVEX_BIN), args);
        Run r;
        if (p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit)
            r.code = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // One command of a sequence: what it must say (on stdout or stderr) and
    // whether it changes the store. `expand` fills in the placeholders.
    struct Step {
        QStringList args;
        int code;
        QString says;
        bool changesStore = false;
        bool windowOpen = false;
    };
    void runSteps(const QList<Step>& steps, const std::function<QString(QString)>& expand) const {
        for (const Step& step : steps) {
            const QByteArray before = read(store());
            QStringList args;
            for (const QString& a : step.args)
                args << expand(a);
            std::optional<WindowLock> window;
            if (step.windowOpen)
                QVERIFY(window.emplace(store()).acquire());
            const Run r = run(args);
            QCOMPARE(r.code, step.code);
            QVERIFY2((r.out + r.err).contains(expand(step.says)), qPrintable(r.out + r.err));
            QCOMPARE(read(store()) != before, step.changesStore);
        }
    }

private:
    QTemporaryDir dir_;
};

} // namespace

class TestCliFiles : public QObject {
    Q_OBJECT
private slots:
    // A pseudo-terminal stands in for a USB adapter with a stable name.
    // %P is its device, %L its stable name, %H the home folder.
    void portCommands() {
        Home home;
        Pty adapter;
        const QString link = home.byId() + "/usb-FTDI_FT232R_A12345-if00-port0";
        QVERIFY(QFile::link(adapter.path(), link));
        home.write(home.store(), "; kept\n[COMM]\ncboport=4\n[Puertos]\nCOM4=/dev/horvex-none\n");
        const QList<Home::Step> steps{
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
            {{"--map-port", "4=%P"}, 0, "%P es también %L", true},
            {{"--list-ports"},
             0,
             "lo abre:       COM4 (asignado en [Puertos])\n"
             "Puerto guardado: COM4 (%P)"},
            {{"--map-port", "COM4="}, 0, "COM4 abre ahora /dev/ttyS3", true},
        };
        home.runSteps(steps, [&](QString text) {
            return text.replace("%P", adapter.path())
                .replace("%L", link)
                .replace("%H", home.path());
        });
        QVERIFY(home.read(home.store()).startsWith("; kept\n[COMM]\ncboport=4\n"));

        QVERIFY(QFile::remove(link)); // unplugged
        const Run none = home.run({"--list-ports"});
        QVERIFY2(none.out.startsWith("No hay ningún puerto serie en este equipo.") &&
                     none.out.contains("dmesg"),
                 qPrintable(none.out));
    }

    // %H is the home folder. Every refused import leaves the store as it was,
    // byte for byte.
    void scheduleFiles() {
        Home home;
        QCOMPARE(home.run({"--export", home.path("fresh.ini")}).code, 0); // no store yet
        const QByteArray kept = "; kept\n[COMM]\ncboport=7\n[Puertos]\nCOM4=/dev/x\n";
        home.write(home.store(), kept + "[HH]\ncboHH0=07\ncboHH1=12\ncboHH2=07\ncboHH4=08\n"
                                        "[MM]\ncboMM0=30\ncboMM2=30\ncboMM4=60\n"
                                        "[ALA]\nchkAla0=1\n");
        QCOMPARE(home.run({"--export", home.path("good.ini")}).code, 0);
        const QByteArray good = home.read(home.path("good.ini"));
        QCOMPARE(home.run({"--export", "-"}).out.toUtf8(), good);
        home.write(home.path("next.ini"), QByteArray(good).replace("cboHH1=12", "cboHH1=13"));
        home.write(home.path("bad.ini"), QByteArray(good)
                                             .replace("cboHH3=24", "cboHH3=7")
                                             .replace("chkAla4=0", "chkAla4=2")
                                             .replace("cboMM9=00\n", "")
                                             .replace("[MM]", "cboHH40=24\n[MM]"));

        const QList<Home::Step> steps{
            {{"--show"},
             0,
             "Timbres: corto 02, largo 05\n07:30  largo  (H00)\n07:30  corto  (H02)\n"
             "08:60  corto  (H04)\n12:00  corto  (H01)\nSin usar: 32 de 36\nAvisos:\n"
             "  H04: minuto 60 (08:60), que no es una hora del día\n"
             "  H00 y H02: a la misma hora, 07:30\n"},
            {{"--show", "%H/bad.ini"}, 0, "7:00  corto  (H03)"},
            {{"--import", "%H/bad.ini"},
             1,
             "%H/bad.ini no es un horario válido:\n  HH/cboHH3: «7» (la lista ofrece 00 a 24)\n"
             "  ALA/chkAla4: «2» (se espera 0 o 1)\n"
             "  MM/cboMM9: falta 1 de los 110 valores; un horario los lleva todos "
             "(horvex --export escribe uno completo)\n"
             "  HH/cboHH40: clave desconocida\n"
             "horvex: No se importó nada: el horario guardado sigue igual."},
            {{"--import", "%H"}, 1, "%H es una carpeta, no un archivo"},
            {{"--import", "%H/none.ini"}, 1, "%H/none.ini no existe"},
            {{"--show", "%H/none.ini"}, 1, "%H/none.ini no existe"},
            {{"--import", "%H/next.ini"},
             1,
             "Horvex está abierto con esta configuración",
             false,
             true},
            {{"--import", "%H/next.ini"}, 0, "4 alarmas en uso, timbres corto 02 y largo 05", true},
            {{"--show"}, 0, "13:00  corto  (H01)"},
        };
        home.runSteps(steps, [&](QString text) { return text.replace("%H", home.path()); });
        QVERIFY(home.read(home.store()).startsWith(kept));
        QCOMPARE(home.run({"--export", "-"}).out.toUtf8(), home.read(home.path("next.ini")));
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "test_cli_files.moc"
