#pragma once

// The command line as a user or a timer runs it: the real binary, with no
// display, a throw-away home (store, record, a folder standing in for
// /dev/serial/by-id) and a pseudo-terminal as the line. HORVEX names the
// binary, HORVEX_DEMO the sample calendar's folder.

#include "fakes.h"
#include "schedule/window_lock.h"

#include <QProcess>
#include <functional>
#include <memory>
#include <optional>

namespace horvex::testing {

struct Result {
    int exit = -1;
    QString out, err;
    QString all() const { return out + err; }
};

// The exit code, with what the program said when it is not the one expected.
#define HORVEX_COMPARE_EXIT(result, expected)                                                      \
    do {                                                                                           \
        const Result& r_ = (result);                                                               \
        QVERIFY2(r_.exit == (expected), qPrintable(QStringLiteral("exit %1, expected %2:\n%3")     \
                                                       .arg(r_.exit)                               \
                                                       .arg(expected)                              \
                                                       .arg(r_.all())));                           \
    } while (false)

// libfaketime, preloaded straight into the program: the faketime wrapper
// keeps a semaphore and shared memory named after its process id in
// /dev/shm, and fails ("sem_open: File exists") where a killed run left
// them and the id comes round again. Empty when it is not installed.
inline QString fakeTimeLibrary() {
    for (const QString& dir : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs))
        if (const QString lib = QStringLiteral("/usr/lib/%1/faketime/libfaketime.so.1").arg(dir);
            QFileInfo::exists(lib))
            return lib;
    return {};
}

class User {
public:
    Pty line;
    QString fakeTime;                    // the wall clock's time in Madrid when the program starts
    bool clockStands = false;            // the faked wall clock stays at fakeTime
    QHash<QString, QString> environment; // more variables for the program

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
    QStringList expand(QStringList args) const {
        for (QString& a : args)
            a = expand(a);
        return args;
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
        // No display, and never the desktop's own bus or user manager.
        for (const char* gone : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                 "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"})
            env.remove(QLatin1String(gone));
        env.insert(QStringLiteral("HOME"), path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), path(QStringLiteral("cache")));
        env.insert(QStringLiteral("HORVEX_SERIAL_BY_ID"), byId());
        // Nothing a test fetches goes further than 127.0.0.1.
        for (const char* proxy : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY",
                                  "ALL_PROXY", "SSL_CERT_FILE", "SSL_CERT_DIR"})
            env.remove(QLatin1String(proxy));
        env.insert(QStringLiteral("no_proxy"), QStringLiteral("*"));
        for (auto v = environment.cbegin(); v != environment.cend(); ++v)
            env.insert(v.key(), v.value());
        if (!fakeTime.isEmpty()) {
            env.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Madrid"));
            // "@": the clock starts at that moment and runs on; without, it stands.
            env.insert(QStringLiteral("FAKETIME"),
                       (clockStands ? QString() : QStringLiteral("@")) + fakeTime);
            env.insert(QStringLiteral("LD_PRELOAD"), fakeTimeLibrary());
            env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
            // libfaketime is preloaded before a sanitizer's runtime.
            const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
            env.insert(QStringLiteral("ASAN_OPTIONS"),
                       asan + (asan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
        }
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(HORVEX), args);
        return p;
    }
    // The sample school year as this user's calendar, its weekday timetable
    // stored; `calendar` false keeps the timetable alone.
    void useSample(bool calendar = true) const {
        for (const QString& f : QDir(HORVEX_DEMO).entryList(QDir::Files))
            if (calendar || f == QLatin1String("horario.ini"))
                QVERIFY(QFile::copy(expand("%D/") + f, path("config/Horvex/") + f));
        HORVEX_COMPARE_EXIT(run({"--import", path("config/Horvex/horario.ini")}), 0);
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
            const QStringList args = expand(step.args);
            std::optional<WindowLock> window;
            if (step.windowOpen)
                QVERIFY(window.emplace(store()).acquire());
            const Result r = run(args);
            HORVEX_COMPARE_EXIT(r, step.exit);
            QVERIFY2(r.all().contains(expand(step.says)), qPrintable(r.all()));
            QCOMPARE(readFile(store()) != before, step.changesStore);
        }
    }

private:
    QTemporaryDir dir_;
};

inline QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace horvex::testing
