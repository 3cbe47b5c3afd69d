// The command line's options through the real program: what each refusal
// says, the help, the version, and the window options that open the window.

#include "cli_user.h"

using namespace horvex;
using namespace horvex::testing;

class TestCliUsage : public QObject {
    Q_OBJECT
private slots:
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
        row("start of two names", {"--cal"}, 64,
            "opción desconocida «--cal»; ¿quería decir --calendar o --calendar-window?");
        row("= in the value", {"--export=%H/a=b.ini"}, 0, "Horario guardado en %H/a=b.ini");
        QTest::newRow("junk quoted short")
            << QStringList{QStringLiteral("--\x01") + QString(300, QLatin1Char('x'))} << 64
            << QStringLiteral("opción desconocida «--\\x01%1…»\n")
                   .arg(QString(77, QLatin1Char('x')));
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
        row("calendar goes with", {"--show", "--calendar", "x"}, 64,
            "--calendar va con --sync, --print-frame, --day, --plan, --check, --status o "
            "--calendar-window, no con --show");
        row("schedule and calendar", {"--sync", "--schedule", "a", "--calendar", "b"}, 64,
            "--schedule envía su archivo tal cual, sin calendario");
    }
    void usage() {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, says);
        User user;
        args = user.expand(args);
        const bool full = args.removeAll(QStringLiteral(">full")) > 0;
        const std::unique_ptr<QProcess> p = user.start(args, {}, full);
        if (exit == -1) {
            QVERIFY(!p->waitForFinished(1500)); // a refusal takes milliseconds
            p->kill();
            return;
        }
        const Result r = User::finish(*p);
        HORVEX_COMPARE_EXIT(r, exit);
        QVERIFY2(r.all().contains(user.expand(says)), qPrintable(r.all()));
        QVERIFY(!QFileInfo::exists(user.path("none")));
        if (args.first() == QLatin1String("--help"))
            QVERIFY(r.out.contains("Códigos de salida:") && r.out.endsWith("man horvex\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliUsage)
#include "test_cli_usage.moc"
