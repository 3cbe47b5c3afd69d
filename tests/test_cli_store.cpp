// The commands that read and change the store through the real program:
// the ports (--list-ports, --map-port) and schedule files (--export,
// --import, --show).

#include "cli_user.h"

using namespace horvex;
using namespace horvex::testing;

class TestCliStore : public QObject {
    Q_OBJECT
private slots:
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
             "no se puede usar /dev/horvex-none2: el dispositivo no existe. Puertos serie en "
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
                                        "H01=09:00\nH1=10:00\n09:00\nH36=11:00\n24:00\n\x1b" +
                                            QByteArray(100, '9') + "\n[HH]\n");
        const Result exported = user.run({"--export", user.path("good.ini")});
        HORVEX_COMPARE_EXIT(exported, 0);
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
            {{"--show", "%H/old-bad.ini"},
             1,
             "7:00  corto  (H03)\n07:30  corto  (H00)\n07:30  corto  (H02)\n12:00  corto  (H01)\n"
             "Sin usar: 32 de 36\nAvisos:\n  H00 y H02: a la misma hora, 07:30\nErrores:\n"
             "  HH/cboHH3: «7» (la lista ofrece 00 a 24)\n"},
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
             "  línea 11: 24:00 no es un timbre: la hora 24 marca una ranura sin usar\n"
             "  línea 12: «\\x1B" +
                 QString(79, '9') +
                 "…» no es una hora HH:MM\n"
                 "  línea 13: sección [HH] desconocida: un horario solo tiene [Timbres]\n"},
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
};

QTEST_GUILESS_MAIN(TestCliStore)
#include "test_cli_store.moc"
