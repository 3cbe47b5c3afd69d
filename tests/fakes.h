#pragma once

// Recorders for the window's services, a pseudo-terminal for the clock's
// line, a throw-away settings store and a started main window.

#include "clocklink/operator.h"
#include "schedule/reg_store.h"
#include "ui/frm_main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace horvex::testing {

// A part of a window, by name; a window without it cannot be tested.
template <typename T> T* part(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("the window has no %s", name);
    return found;
}

// Records each pause instead of sleeping; `during` runs where the real pause
// would pump events.
struct RecordingPause : Pause {
    QList<double> pauses;
    QList<Clock::time_point> since; // of each pause counted from a write's start
    std::function<void(double)> during;
    void Tiempo(double seconds) override {
        pauses << seconds;
        if (during)
            during(seconds);
    }
    void TiempoDesde(Clock::time_point from, double seconds) override {
        since << from;
        Tiempo(seconds);
    }
};

struct RecordingStatus : StatusLine {
    QMap<int, QStringList> panel; // every text each panel was given
    void setPanelText(int n, const QString& text) override { panel[n] << text; }
};

struct RecordingBox : MessageBox {
    QStringList titles, prompts;
    void critical(const QString& title, const QString& prompt) override {
        titles << title;
        prompts << prompt;
    }
};

// The program opens the slave; what it writes arrives on the master. Raw, and
// not inherited by a child, whose copy would keep the line up after a hang-up.
class Pty {
public:
    Pty() {
        termios raw{};
        ::cfmakeraw(&raw);
        if (::openpty(&master_, &slave_, nullptr, &raw, nullptr) != 0)
            return;
        path_ = QString::fromLocal8Bit(::ttyname(slave_));
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
        ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
    }
    ~Pty() {
        closeMaster();
        ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const QString& path() const { return path_; }
    // The first bytes to arrive within `waitMs`.
    QByteArray readSome(int waitMs) {
        pollfd fd{master_, POLLIN, 0};
        char buf[256];
        const ssize_t n =
            master_ >= 0 && ::poll(&fd, 1, waitMs) > 0 ? ::read(master_, buf, sizeof buf) : 0;
        return QByteArray(buf, n > 0 ? n : 0);
    }
    // What arrives until the line is quiet.
    QByteArray drain() {
        QByteArray got, more;
        while (!(more = readSome(100)).isEmpty())
            got += more;
        return got;
    }
    void closeMaster() { // the far end hangs up
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// Closes every message box (and, if asked, every dialog) that appears,
// keeping its title and text.
class BoxCloser : public QObject {
public:
    QStringList titles, texts;
    explicit BoxCloser(bool dialogsToo = false) {
        connect(&timer_, &QTimer::timeout, this, [this, dialogsToo] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QDialog*>(w);
                    dialog && dialog->isVisible() &&
                    (dialogsToo || qobject_cast<QMessageBox*>(dialog))) {
                    titles << dialog->windowTitle();
                    auto* box = qobject_cast<QMessageBox*>(dialog);
                    texts << (box ? box->text() : QString());
                    dialog->reject();
                }
        });
        timer_.start(5);
    }

private:
    QTimer timer_;
};

inline QByteArray readFile(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the file, and the folders it needs.
inline void writeFile(const QString& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

// A fresh per-user store in a temporary folder.
class Sandbox {
public:
    // The record and the port's lock in it too.
    Sandbox() {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        qputenv("XDG_STATE_HOME", dir_.filePath(QStringLiteral("state")).toLocal8Bit());
        QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
    }
    QString file() const { return dir_.filePath(QStringLiteral("Horvex/Horvex.conf")); }
    QVariant get(const QString& key) const {
        return QSettings(file(), QSettings::IniFormat).value(key);
    }
    void put(const QString& key, const QString& value) {
        QSettings(file(), QSettings::IniFormat).setValue(key, value);
    }
    QStringList keys() const {
        QStringList all = QSettings(file(), QSettings::IniFormat).allKeys();
        all.sort();
        return all;
    }
    // The file's bytes, as a hand or another program left them.
    void write(const QByteArray& bytes) const { writeFile(file(), bytes); }
    QByteArray read() const { return readFile(file()); }
    QString folder() const { return QFileInfo(file()).path(); }

private:
    QTemporaryDir dir_;
};

// The main window on a sandbox, COM4 mapped to a pseudo-terminal unless told.
struct Harness {
    Sandbox sandbox;
    Pty line;
    std::unique_ptr<RegStore> store = std::make_unique<RegStore>();
    RecordingPause pause;
    QTime now{9, 5, 7};
    int ended = 0;
    QList<int> endedWhenRecorded; // for each record line, whether the program had ended
    bool recordToFile = false;    // the record of uploads too, as the program keeps it
    std::unique_ptr<FrmMain> window;

    explicit Harness(bool portMapped = true) {
        if (portMapped)
            sandbox.put(QStringLiteral("Puertos/COM4"), line.path());
    }
    FrmMain& start() {
        window = std::make_unique<FrmMain>(FrmMain::Services{*store, pause, [this] { return now; },
                                                             [this] { ++ended; },
                                                             [this](const UploadOutcome& o) {
                                                                 endedWhenRecorded << ended;
                                                                 if (recordToFile)
                                                                     UploadRecord().append(o);
                                                             }});
        window->Form_Load();
        return *window;
    }
    template <typename T> T* child(const QString& name) const {
        return window->findChild<T*>(name);
    }
};

} // namespace horvex::testing
