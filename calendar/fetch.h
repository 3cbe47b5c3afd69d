#pragma once

// Fetching the calendars a calendar file names by address, over Qt Network:
// through the proxy the environment names (https_proxy, http_proxy,
// all_proxy, no_proxy), with TLS checked against the system's certificates
// and those of SSL_CERT_FILE / SSL_CERT_DIR. A good answer becomes the
// address's copy (subscription.h); every attempt, good or not, is noted.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace horvex {

// Now: every address (--check, the window's "Actualizar"). IfDue: only
// those fetchDue() names (a timed run, the window at opening).
enum class FetchWhen { IfDue, Now };

// All the fetching of one run ends within this: 15 s, or
// HORVEX_FETCH_LIMIT_MS milliseconds when set (for the tests).
int fetchLimitMs();

// Fetches the addresses at once, without waiting: for a window.
class CalendarFetch : public QObject {
    Q_OBJECT
public:
    explicit CalendarFetch(QObject* parent = nullptr);
    ~CalendarFetch() override;

    // False when none of them is to be fetched (nothing starts, and
    // finished() is not emitted). Not while running().
    bool start(const QStringList& addresses, FetchWhen when);
    bool running() const;

signals:
    // Every address is done, kept or noted; the copies can be read again.
    void finished();

private:
    struct Transfer;
    void begin(const QString& key);
    void done(Transfer& t);
    void giveUp();

    struct State;
    std::unique_ptr<State> d_;
};

// Fetches the addresses `calendarFile` names and waits for them, for at most
// fetchLimitMs() in all. Needs a QCoreApplication.
void fetchCalendars(const QString& calendarFile, FetchWhen when);

} // namespace horvex
