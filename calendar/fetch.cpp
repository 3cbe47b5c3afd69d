#include "calendar/fetch.h"

#include "calendar/subscription.h"
#include "schedule/failure.h"
#include "schedule/guarded_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTimer>
#include <vector>

namespace horvex {

namespace {

// No school calendar comes near this; a bigger answer is not one.
constexpr qint64 kAnswerLimit = 5 * 1024 * 1024;
constexpr int kMaxRedirects = 5;
constexpr int kDefaultLimitMs = 15000;

QByteArray environment(const char* lower, const char* upper = nullptr) {
    const QByteArray value = qgetenv(lower);
    return value.isEmpty() && upper != nullptr ? qgetenv(upper) : value;
}

// The proxy the environment names, as curl and wget read it. Qt's own
// system configuration goes through libproxy, which a desktop's settings
// can override and which a timer's session may not have.
class EnvironmentProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override {
        if (bypassed(query.peerHostName().toLower()))
            return {QNetworkProxy::NoProxy};
        // Only the lower-case http_proxy: HTTP_PROXY can come from a web
        // request's headers in CGI programs, which is why curl ignores it.
        QByteArray value = query.protocolTag() == QLatin1String("https")
                               ? environment("https_proxy", "HTTPS_PROXY")
                               : environment("http_proxy");
        if (value.isEmpty())
            value = environment("all_proxy", "ALL_PROXY");
        if (value.trimmed().isEmpty())
            return {QNetworkProxy::NoProxy};
        QString text = QString::fromLocal8Bit(value.trimmed());
        if (!text.contains(QLatin1String("://")))
            text.prepend(QStringLiteral("http://"));
        const QUrl url(text);
        const bool socks = url.scheme().startsWith(QLatin1String("socks"), Qt::CaseInsensitive);
        return {QNetworkProxy(socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy,
                              url.host(), static_cast<quint16>(url.port(socks ? 1080 : 80)),
                              url.userName(), url.password())};
    }

private:
    static bool bypassed(const QString& host) {
        const QString list = QString::fromLocal8Bit(environment("no_proxy", "NO_PROXY"));
        for (QString entry : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            entry = entry.trimmed().toLower();
            if (entry == QLatin1String("*"))
                return true;
            if (entry.count(QLatin1Char(':')) == 1)
                entry = entry.left(entry.indexOf(QLatin1Char(':')));
            while (entry.startsWith(QLatin1Char('*')) || entry.startsWith(QLatin1Char('.')))
                entry.remove(0, 1);
            if (!entry.isEmpty() && (host == entry || host.endsWith(QLatin1Char('.') + entry)))
                return true;
        }
        return false;
    }
};

// The system's certificates, and those SSL_CERT_FILE and SSL_CERT_DIR name
// as OpenSSL programs read them. The system's are read here rather than
// left to Qt's loading on demand, which leaks the server's certificates
// when they do not verify (Qt 6.4 with OpenSSL 3).
QSslConfiguration tlsConfiguration() {
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> extra;
    if (const QString file = qEnvironmentVariable("SSL_CERT_FILE"); !file.isEmpty())
        extra += QSslCertificate::fromPath(file, QSsl::Pem);
    for (const QString& dir :
         qEnvironmentVariable("SSL_CERT_DIR").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        extra += QSslCertificate::fromPath(QDir(dir).filePath(QStringLiteral("*")), QSsl::Pem,
                                           QSslCertificate::PatternSyntax::Wildcard);
    conf.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    conf.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // One request per address and run: nothing to resume, and a session
    // kept for resuming would outlive the run's connections.
    conf.setSslOption(QSsl::SslOptionDisableSessionTickets, true);
    conf.setSslOption(QSsl::SslOptionDisableSessionSharing, true);
    return conf;
}

QString certificateText(const QSslError& e) {
    switch (e.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("no lo firma ninguna autoridad de confianza de este equipo");
    case QSslError::CertificateExpired:
        return QStringLiteral("está caducado");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("aún no es válido (¿la hora del PC está bien?)");
    case QSslError::HostNameMismatch:
        return QStringLiteral("es de otro servidor");
    case QSslError::CertificateRevoked:
        return QStringLiteral("está revocado");
    default:
        return QStringLiteral("no se puede comprobar (error TLS %1)").arg(int(e.error()));
    }
}

QString statusText(int status) {
    const QString what = status == 401 || status == 403 ? QStringLiteral("sin permiso")
                         : status == 404 || status == 410
                             ? QStringLiteral("no existe esa dirección")
                         : status >= 500 ? QStringLiteral("fallo del servidor")
                                         : QStringLiteral("petición rechazada");
    return QStringLiteral("el servidor contestó con el código %1 (%2)").arg(status).arg(what);
}

QString networkText(const QNetworkReply& reply, const QStringList& certificate) {
    const QString host = reply.url().host();
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("el servidor %1 rechazó la conexión (nadie atiende en ese puerto)")
            .arg(host);
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("no se encuentra el servidor %1 (¿hay red?)").arg(host);
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("el servidor cerró la conexión antes de terminar la respuesta: "
                              "llegó cortada");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("el servidor %1 no contestó a tiempo").arg(host);
    case QNetworkReply::SslHandshakeFailedError: {
        if (certificate.isEmpty())
            return QStringLiteral("no se pudo abrir la conexión cifrada (TLS) con %1").arg(host);
        return QStringLiteral("el certificado de %1 no es válido: %2; no se descarga nada de "
                              "un servidor que no se puede comprobar")
            .arg(host, certificate.join(QStringLiteral(", ")));
    }
    case QNetworkReply::TooManyRedirectsError:
        return QStringLiteral("más de %1 redirecciones").arg(kMaxRedirects);
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("el servidor redirige a una dirección sin cifrar (http)");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return QStringLiteral("no se pudo pasar por el proxy (código de red %1)")
            .arg(int(reply.error()));
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("el proxy pide usuario y contraseña");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("no hay red");
    default:
        return QStringLiteral("fallo de red al pedir %1 (código %2)")
            .arg(reply.url().toString())
            .arg(int(reply.error()));
    }
}

// Why an answer is not a calendar to keep; nothing when it is one.
std::optional<QString> answerProblem(const QByteArray& body, const QString& type, qint64 declared) {
    if (body.isEmpty())
        return QStringLiteral("la respuesta llegó vacía");
    if (declared >= 0 && body.size() < declared)
        return QStringLiteral("la respuesta llegó cortada (%1 de %2)")
            .arg(sizeText(body.size()), sizeText(declared));
    QByteArray start = body.left(512);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    start = start.trimmed();
    if (type.startsWith(QLatin1String("text/html"), Qt::CaseInsensitive) || start.startsWith('<'))
        return QStringLiteral("el servidor devolvió una página web y no un calendario (quizá "
                              "una red que pide iniciar sesión)");
    if (!start.toUpper().startsWith("BEGIN:VCALENDAR"))
        return QStringLiteral("la respuesta no es un calendario iCalendar");
    if (!body.right(64).trimmed().toUpper().endsWith("END:VCALENDAR"))
        return QStringLiteral("la respuesta llegó cortada: no termina en END:VCALENDAR");
    const IcsCalendar ics = IcsCalendar::parse(body);
    for (const IcsNote& n : ics.notes())
        if (!n.warning)
            return QStringLiteral("el calendario recibido tiene errores (línea %1: %2)")
                .arg(n.line)
                .arg(n.text);
    return std::nullopt;
}

} // namespace

int fetchLimitMs() {
    bool ok = false;
    const int set = qEnvironmentVariableIntValue("HORVEX_FETCH_LIMIT_MS", &ok);
    return ok && set > 0 ? set : kDefaultLimitMs;
}

struct CalendarFetch::Transfer {
    QString key;
    QString origin;
    std::optional<CalendarCopy> old;
    QNetworkReply* reply = nullptr; // the manager's child
    QByteArray body;
    QString failure;         // set before the reply ends: too big, or too slow
    QStringList certificate; // why the server's certificate does not verify
    bool over = false;
};

struct CalendarFetch::State {
    QNetworkAccessManager* network = nullptr;
    QTimer* limit = nullptr;
    std::vector<std::unique_ptr<Transfer>> transfers;
    int pending = 0;
};

CalendarFetch::CalendarFetch(QObject* parent)
    : QObject(parent)
    , d_(std::make_unique<State>()) {
    d_->network = new QNetworkAccessManager(this);
    d_->network->setProxyFactory(new EnvironmentProxies);
    d_->limit = new QTimer(this);
    d_->limit->setSingleShot(true);
    connect(d_->limit, &QTimer::timeout, this, &CalendarFetch::giveUp);
}

CalendarFetch::~CalendarFetch() {
    for (const auto& t : d_->transfers)
        if (!t->over)
            t->reply->disconnect(this);
}

bool CalendarFetch::running() const {
    return d_->pending > 0;
}

bool CalendarFetch::start(const QStringList& addresses, FetchWhen when) {
    if (running())
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    QStringList chosen;
    for (const QString& key : addresses)
        if (when == FetchWhen::Now || fetchDue(addressUrl(key).toString(), now))
            chosen << key;
    if (chosen.isEmpty())
        return false;
    d_->transfers.clear();
    d_->pending = static_cast<int>(chosen.size());
    d_->limit->start(fetchLimitMs());
    for (const QString& key : chosen)
        begin(key);
    return true;
}

void CalendarFetch::begin(const QString& key) {
    auto& t = *d_->transfers.emplace_back(std::make_unique<Transfer>());
    t.key = key;
    const QUrl url = addressUrl(key);
    t.origin = url.toString();
    t.old = copies::read(t.origin);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Horvex/%1").arg(QCoreApplication::applicationVersion()));
    request.setSslConfiguration(tlsConfiguration());
    if (t.old && !t.old->etag.isEmpty())
        request.setRawHeader("If-None-Match", t.old->etag.toLatin1());
    if (t.old && !t.old->lastModified.isEmpty())
        request.setRawHeader("If-Modified-Since", t.old->lastModified.toLatin1());
    t.reply = d_->network->get(request);

    const auto tooBig = [&t](qint64 size) {
        if (size <= kAnswerLimit || !t.failure.isEmpty())
            return;
        t.failure = QStringLiteral("la respuesta pasa de %1: no es un calendario escolar; se "
                                   "dejó de leer")
                        .arg(sizeText(kAnswerLimit));
        t.reply->abort();
    };
    connect(t.reply, &QNetworkReply::metaDataChanged, this, [&t, tooBig] {
        const QVariant length = t.reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            tooBig(length.toLongLong());
    });
    connect(t.reply, &QNetworkReply::readyRead, this, [&t, tooBig] {
        // Read no more than one byte past the limit: enough to know.
        t.body += t.reply->read(kAnswerLimit + 1 - t.body.size());
        tooBig(t.body.size());
    });
    // Said at once: the errors hold the server's certificates, which are not
    // kept past the handshake.
    connect(t.reply, &QNetworkReply::sslErrors, this, [&t](const QList<QSslError>& errors) {
        for (const QSslError& e : errors)
            if (const QString why = certificateText(e); !t.certificate.contains(why))
                t.certificate << why;
    });
    connect(t.reply, &QNetworkReply::finished, this, [this, &t] { done(t); });
}

void CalendarFetch::done(Transfer& t) {
    if (t.over)
        return;
    t.over = true;
    const QDateTime now = QDateTime::currentDateTime();
    QNetworkReply& reply = *t.reply;
    if (t.failure.isEmpty() && t.body.size() <= kAnswerLimit)
        t.body += reply.readAll();
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    std::optional<CalendarCopy> keep;
    if (t.failure.isEmpty() && status >= 400)
        t.failure = statusText(status);
    else if (t.failure.isEmpty() && reply.error() != QNetworkReply::NoError)
        t.failure = networkText(reply, t.certificate);
    else if (t.failure.isEmpty() && status == 304 && t.old) {
        keep = *t.old;
        keep->fetched = now;
    } else if (t.failure.isEmpty()) {
        const QVariant length = reply.header(QNetworkRequest::ContentLengthHeader);
        if (const std::optional<QString> wrong =
                answerProblem(t.body, reply.header(QNetworkRequest::ContentTypeHeader).toString(),
                              length.isValid() ? length.toLongLong() : -1))
            t.failure = *wrong;
        else
            keep = CalendarCopy{t.origin, now, QString::fromLatin1(reply.rawHeader("ETag")),
                                QString::fromLatin1(reply.rawHeader("Last-Modified")), t.body};
    }
    try {
        if (keep)
            copies::keep(*keep);
    } catch (const Failure& f) {
        t.failure = QStringLiteral("no se pudo guardar la copia: %1").arg(f.description());
    }
    try {
        copies::noteAttempt(t.origin, {now, t.failure});
    } catch (const Failure&) {
        // Nowhere to note it: the calendar finds the copy, or none, as it is.
    }
    t.body.clear();
    reply.deleteLater();
    if (--d_->pending == 0) {
        d_->limit->stop();
        // No connection is kept open between fetches hours apart.
        d_->network->clearConnectionCache();
        emit finished();
    }
}

void CalendarFetch::giveUp() {
    for (const auto& t : d_->transfers)
        if (!t->over) {
            t->failure = QStringLiteral("el servidor %1 no contestó en %2 s")
                             .arg(addressUrl(t->key).host())
                             .arg(QString::number(fetchLimitMs() / 1000.0, 'g', 3)
                                      .replace(QLatin1Char('.'), QLatin1Char(',')));
            t->reply->abort();
            done(*t); // in case the reply had already stopped short of finishing
        }
}

void fetchCalendars(const QString& calendarFile, FetchWhen when) {
    CalendarFetch fetch;
    QEventLoop loop;
    QObject::connect(&fetch, &CalendarFetch::finished, &loop, &QEventLoop::quit);
    if (fetch.start(addressesIn(calendarFile), when) && fetch.running())
        loop.exec();
}

} // namespace horvex
