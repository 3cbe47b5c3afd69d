// Calendars by address, through the real program against an HTTPS server of
// our own on 127.0.0.1 with a certificate made for the test: what is kept,
// what is refused and named, what the copy's age says; and the copy of a
// local .ics standing in for it once it is gone.

#include "cli_user.h"

#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimeZone>

using namespace horvex;
using namespace horvex::testing;

namespace {

// The school year's Easter break, as an education authority publishes it.
const QByteArray kYear = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Consejeria//Curso//ES\r\n"
                         "BEGIN:VEVENT\r\nUID:pascua-2027@educacion.example\r\n"
                         "DTSTART;VALUE=DATE:20270329\r\nDTEND;VALUE=DATE:20270406\r\n"
                         "SUMMARY:Vacaciones de Semana Santa\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

const QByteArray kCalendar =
    "[Semana]\nlunes=guardado\nmartes=guardado\n[Calendarios]\n%1=silencio\n";

// Answers as the test sets it: the calendar (304 to its ETag), or a fault.
class Server : public QObject {
public:
    QString mode = QStringLiteral("good");
    QList<QByteArray> requests;

    explicit Server(const QSslConfiguration& tls) {
        server_.setSslConfiguration(tls);
        connect(&server_, &QSslServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { answer(*s); });
        });
        // Handshakes the program refuses are not the test's errors.
        connect(&server_, &QSslServer::errorOccurred, this, [](QSslSocket*, auto) {});
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        port_ = server_.serverPort();
    }
    quint16 port() const { return port_; }
    void stop() { server_.close(); }
    void restart() { QVERIFY(server_.listen(QHostAddress::LocalHost, port_)); }

private:
    void answer(QTcpSocket& s) {
        QByteArray& got = pending_[&s];
        got += s.readAll();
        if (!got.contains("\r\n\r\n"))
            return;
        requests << got;
        const bool same = got.contains("If-None-Match: \"v1\"");
        got.clear();
        const auto send = [&s](const QByteArray& head, const QByteArray& body) {
            s.write(head + "\r\nConnection: close\r\n\r\n" + body);
            s.disconnectFromHost();
        };
        if (mode == QLatin1String("silent"))
            return;
        if (mode == QLatin1String("good") && same)
            return send("HTTP/1.1 304 Not Modified\r\nETag: \"v1\"", {});
        if (mode == QLatin1String("good"))
            return send("HTTP/1.1 200 OK\r\nContent-Type: text/calendar\r\nETag: \"v1\"\r\n"
                        "Content-Length: " +
                            QByteArray::number(kYear.size()),
                        kYear);
        if (mode == QLatin1String("portal"))
            return send("HTTP/1.1 200 OK\r\nContent-Type: text/html",
                        "<html><body>Inicie sesión en la red del centro</body></html>");
        if (mode == QLatin1String("missing"))
            return send("HTTP/1.1 404 Not Found\r\nContent-Length: 0", {});
        if (mode == QLatin1String("loop"))
            return send("HTTP/1.1 302 Found\r\nLocation: /otra.ics\r\nContent-Length: 0", {});
        if (mode == QLatin1String("cut"))
            return send("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(kYear.size()),
                        kYear.left(60));
        // "big": 30 MB of calendar, with no length said, written as it goes.
        s.write("HTTP/1.1 200 OK\r\nContent-Type: text/calendar\r\nConnection: close\r\n\r\n"
                "BEGIN:VCALENDAR\r\n");
        auto sent = std::make_shared<qint64>(0);
        connect(&s, &QTcpSocket::bytesWritten, &s, [&s, sent](qint64 n) {
            if ((*sent += n) < 30 * 1024 * 1024 && s.bytesToWrite() < 256 * 1024)
                s.write(QByteArray(64 * 1024, 'X'));
        });
    }

    QSslServer server_;
    quint16 port_ = 0;
    QHash<QTcpSocket*, QByteArray> pending_;
};

// A web proxy as offices have them: CONNECT, then bytes both ways.
class Proxy : public QObject {
public:
    QList<QByteArray> asked;

    Proxy() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* in = server_.nextPendingConnection())
                connect(in, &QTcpSocket::readyRead, this, [this, in] { open(*in); });
        });
        QVERIFY(server_.listen(QHostAddress::LocalHost));
    }
    QString address() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
    }

private:
    void open(QTcpSocket& in) {
        if (in.property("open").toBool() || !in.canReadLine())
            return;
        in.setProperty("open", true);
        const QByteArray line = in.readLine().trimmed();
        asked << line;
        while (in.bytesAvailable() > 0 && in.readLine() != "\r\n")
            continue; // the request's headers
        const QList<QByteArray> target = line.split(' ').value(1).split(':');
        auto* out = new QTcpSocket(&in);
        connect(out, &QTcpSocket::connected, &in,
                [&in] { in.write("HTTP/1.1 200 Connection established\r\n\r\n"); });
        connect(out, &QTcpSocket::readyRead, &in, [&in, out] { in.write(out->readAll()); });
        connect(&in, &QTcpSocket::readyRead, out, [&in, out] { out->write(in.readAll()); });
        connect(out, &QTcpSocket::disconnected, &in, &QTcpSocket::disconnectFromHost);
        out->connectToHost(QHostAddress::LocalHost, target.value(1).toUShort());
    }

    QTcpServer server_;
};

// Runs the program while this process goes on serving.
Result serving(const User& user, const QStringList& args) {
    const std::unique_ptr<QProcess> p = user.start(user.expand(args));
    QElapsedTimer t;
    t.start();
    while (p->state() != QProcess::NotRunning && t.elapsed() < 30000)
        QTest::qWait(5);
    if (p->state() != QProcess::NotRunning)
        return User::finish(*p);
    return {p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -p->exitCode(),
            QString::fromUtf8(p->readAllStandardOutput()),
            QString::fromUtf8(p->readAllStandardError())};
}

QByteArray copyIn(const User& user) {
    const QDir folder(user.path(QStringLiteral("cache/Horvex")));
    const QStringList found = folder.entryList({QStringLiteral("*.copia")});
    return found.size() == 1 ? readFile(folder.filePath(found.first())) : QByteArray();
}

} // namespace

class TestFetch : public QObject {
    Q_OBJECT
private:
    QTemporaryDir keys_;
    QSslConfiguration tls_;

    QString cert() const { return keys_.filePath(QStringLiteral("cert.pem")); }

    // A user whose calendar names `address`, trusting the test's certificate.
    std::unique_ptr<User> userOf(const QString& address) const {
        auto user = std::make_unique<User>();
        user->setStore({});
        writeFile(user->path(QStringLiteral("config/Horvex/calendario.ini")),
                  QString::fromLatin1(kCalendar).arg(address).toUtf8());
        user->environment = {{QStringLiteral("SSL_CERT_FILE"), cert()},
                             {QStringLiteral("HORVEX_FETCH_LIMIT_MS"), QStringLiteral("20000")}};
        return user;
    }

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            QSKIP("needs openssl (tools/bootstrap.sh installs it)");
        QProcess openssl;
        openssl.setWorkingDirectory(keys_.path());
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-keyout", "key.pem", "-out", "cert.pem", "-days", "60", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        QVERIFY(openssl.waitForFinished(20000));
        QCOMPARE(openssl.exitCode(), 0);
        tls_ = QSslConfiguration::defaultConfiguration();
        tls_.setLocalCertificate(QSslCertificate(readFile(cert())));
        tls_.setPrivateKey(QSslKey(readFile(keys_.filePath(QStringLiteral("key.pem"))), QSsl::Ec));
        tls_.setPeerVerifyMode(QSslSocket::VerifyNone);
    }

    // A good copy first; then each fault leaves it as it was, named, and the
    // calendar goes on from it. No copy and no answer is an error.
    void faults_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("says");
        const auto row = [](const char* mode, bool trusted, const char* says) {
            QTest::newRow(mode) << QString::fromLatin1(mode) << trusted << QString::fromUtf8(says);
        };
        row("portal", true, "el servidor devolvió una página web y no un calendario");
        row("big", true, "la respuesta pasa de 5,0 MB");
        row("silent", true, "el servidor 127.0.0.1 no contestó en 1,5 s");
        row("gone", true, "el servidor 127.0.0.1 rechazó la conexión");
        row("untrusted", false, "no lo firma ninguna autoridad de confianza de este equipo");
        row("missing", true, "el servidor contestó con el código 404 (no existe esa dirección)");
        row("loop", true, "más de 5 redirecciones");
        row("cut", true, "cortada");
    }
    void faults() {
        QFETCH(QString, mode);
        QFETCH(bool, trusted);
        QFETCH(QString, says);
        Server server(tls_);
        const QString address = QStringLiteral("https://127.0.0.1:%1/curso.ics").arg(server.port());
        const auto user = userOf(address);

        Result r = serving(*user, {"--check"});
        QVERIFY2(r.exit == 0 && r.out.contains(address + ": copia del "), qPrintable(r.all()));
        const QByteArray kept = copyIn(*user);
        QVERIFY(kept.endsWith(kYear));

        // The server that never answers is waited for only this long.
        const auto shortWait = [&](User& u) {
            if (mode == QLatin1String("silent"))
                u.environment[QStringLiteral("HORVEX_FETCH_LIMIT_MS")] = QStringLiteral("1500");
        };
        shortWait(*user);
        server.mode = mode;
        if (mode == QLatin1String("gone"))
            server.stop();
        if (!trusted)
            user->environment.remove(QStringLiteral("SSL_CERT_FILE"));
        r = serving(*user, {"--check"});
        QVERIFY2(r.exit == 0 &&
                     r.out.contains(user->expand("aviso: %H/config/Horvex/calendario.ini:5: ") +
                                    address + ": no se pudo actualizar el "),
                 qPrintable(r.all()));
        QVERIFY2(r.out.contains(says), qPrintable(r.all()));
        QCOMPARE(copyIn(*user), kept);
        r = serving(*user, {"--day", "2027-03-30"});
        QVERIFY2(r.out.contains("2027-03-30 martes: silencio"), qPrintable(r.all()));

        // Without a copy, the same answer leaves the calendar in error.
        const auto fresh = userOf(address);
        shortWait(*fresh);
        if (!trusted)
            fresh->environment.remove(QStringLiteral("SSL_CERT_FILE"));
        r = serving(*fresh, {"--check"});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.out.contains(address + ": no hay copia y no se pudo descargar: ") &&
                     r.out.contains(says),
                 qPrintable(r.all()));
        QVERIFY(copyIn(*fresh).isEmpty());
        if (mode == QLatin1String("gone"))
            server.restart();
    }

    // Asked again with the ETag, a 304 keeps the copy and renews its date;
    // webcal:// is the same address over https; a timed run does not ask
    // again within 6 hours; the record names the copy.
    void revalidatesAndRecords() {
        Server server(tls_);
        const QString address =
            QStringLiteral("webcal://127.0.0.1:%1/curso.ics").arg(server.port());
        const auto user = userOf(address);
        QCOMPARE(serving(*user, {"--check"}).exit, 0);
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(server.requests[0].startsWith("GET /curso.ics HTTP/1.1"));
        Result r = serving(*user, {"--check"});
        QCOMPARE(r.exit, 0);
        QCOMPARE(server.requests.size(), 2);
        QVERIFY(server.requests[1].contains("If-None-Match: \"v1\""));
        QVERIFY2(r.out.contains(address + ": copia del ") && r.out.contains("hace un momento"),
                 qPrintable(r.all()));
        QVERIFY(copyIn(*user).endsWith(kYear));

        r = serving(*user, {"--sync"});
        QVERIFY2(r.exit == 0, qPrintable(r.all()));
        QCOMPARE(server.requests.size(), 2);
        QVERIFY2(readFile(user->record()).contains("copia de " + address.toUtf8() + " del "),
                 readFile(user->record()).constData());
    }

    // Through the proxy the environment names, unless no_proxy excludes the
    // server.
    void throughProxy() {
        Server server(tls_);
        Proxy proxy;
        const QString address = QStringLiteral("https://127.0.0.1:%1/curso.ics").arg(server.port());
        const auto user = userOf(address);
        user->environment[QStringLiteral("https_proxy")] = proxy.address();
        user->environment[QStringLiteral("no_proxy")] = QStringLiteral("localhost,.example.org");
        Result r = serving(*user, {"--check"});
        QVERIFY2(r.exit == 0 && r.out.contains(address + ": copia del "), qPrintable(r.all()));
        QCOMPARE(proxy.asked, QList<QByteArray>{"CONNECT 127.0.0.1:" +
                                                QByteArray::number(server.port()) + " HTTP/1.1"});
        user->environment[QStringLiteral("no_proxy")] = QStringLiteral("example.org, 127.0.0.1");
        r = serving(*user, {"--check"});
        QVERIFY2(r.exit == 0 && !r.out.contains("no se pudo actualizar"), qPrintable(r.all()));
        QCOMPARE(proxy.asked.size(), 1);
        QCOMPARE(server.requests.size(), 2);
    }

    // http:// is fetched, and warned about at every --check.
    void plainHttp() {
        const auto user = userOf(QStringLiteral("http://127.0.0.1:1/curso.ics"));
        const Result r = serving(*user, {"--check"});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.out.contains("aviso: ") &&
                     r.out.contains("http://127.0.0.1:1/curso.ics: la dirección es http, sin "
                                    "cifrar: cualquiera en el camino puede cambiar el calendario"),
                 qPrintable(r.all()));
    }

    // Five days on, offline: the copy is the calendar, and says its age.
    void copyAgeOffline() {
        if (fakeTimeLibrary().isEmpty())
            QSKIP("libfaketime is not installed");
        Server server(tls_);
        const QString address = QStringLiteral("https://127.0.0.1:%1/curso.ics").arg(server.port());
        const auto user = userOf(address);
        QCOMPARE(serving(*user, {"--check"}).exit, 0);
        server.stop();
        const QDateTime later =
            QDateTime::currentDateTime().toTimeZone(QTimeZone("Europe/Madrid")).addDays(5);
        user->fakeTime = later.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const Result r = serving(*user, {"--day", "2027-03-30"});
        QVERIFY2(r.exit == 0 && r.out.contains("2027-03-30 martes: silencio") &&
                     r.out.contains("Copias de los .ics: " + address + ": copia del ") &&
                     r.out.contains(", hace 5 días"),
                 qPrintable(r.all()));
        const Result status = serving(*user, {"--status"});
        QVERIFY2(status.out.contains("Copias de los .ics: " + address + ": copia del ") &&
                     status.out.contains(", hace 5 días") &&
                     status.out.contains(": no se pudo actualizar el "),
                 qPrintable(status.all()));
    }

    // A local .ics read without errors is kept; once it is gone, its copy
    // stands in, with a warning naming the file and the copy's age.
    void localFileGone() {
        User user;
        user.setStore({});
        const QString ics = user.path(QStringLiteral("config/Horvex/festivos.ics"));
        writeFile(ics, kYear);
        writeFile(user.path(QStringLiteral("config/Horvex/calendario.ini")),
                  QString::fromLatin1(kCalendar).arg(QStringLiteral("festivos.ics")).toUtf8());
        QCOMPARE(user.run({"--check"}).exit, 0);
        QVERIFY(QFile::remove(ics));
        Result r = user.run({"--check"});
        QVERIFY2(r.exit == 0 && r.out.contains("aviso: ") &&
                     r.out.contains(ics + " no existe; en su lugar se usa su última copia buena "
                                          "(copia del "),
                 qPrintable(r.all()));
        r = user.run({"--day", "2027-03-30"});
        QVERIFY2(r.out.contains("2027-03-30 martes: silencio"), qPrintable(r.all()));
    }
};

QTEST_MAIN(TestFetch)
#include "test_fetch.moc"
