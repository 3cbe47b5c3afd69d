#pragma once

// Shared scaffolding for the window tests: a throw-away settings store, a
// pause that records instead of sleeping, a pseudo-terminal standing in for
// the clock's line, and a hand that closes modal message boxes.

#include "clocklink/operator.h"
#include "schedule/reg_store.h"
#include "ui/frm_main.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace horvex::testing {

struct RecordingPause : Pause {
    std::vector<double> pauses;
    std::function<void(double)> during;
    void Tiempo(double seconds) override {
        pauses.push_back(seconds);
        if (during)
            during(seconds);
    }
};

// The far end of a pseudo-terminal: what the program writes arrives here.
class PtyLine {
public:
    PtyLine() {
        int slave = -1;
        if (openpty(&master_, &slave, nullptr, nullptr, nullptr) == 0) {
            path_ = QString::fromLocal8Bit(ttyname(slave));
            ::close(slave);
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~PtyLine() {
        if (master_ >= 0)
            ::close(master_);
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const QString& path() const { return path_; }
    QByteArray received() {
        QByteArray all;
        char chunk[256];
        ssize_t n = 0;
        while ((n = ::read(master_, chunk, sizeof chunk)) > 0)
            all.append(chunk, n);
        return all;
    }

private:
    int master_ = -1;
    QString path_;
};

// Closes every message box that appears, keeping its title and text.
class BoxCloser : public QObject {
public:
    struct Seen {
        QString title;
        QString text;
    };
    std::vector<Seen> seen;

    BoxCloser() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box != nullptr && box->isVisible()) {
                    seen.push_back({box->windowTitle(), box->text()});
                    box->accept();
                }
            }
        });
        timer_.start(5);
    }

private:
    QTimer timer_;
};

// A fresh per-user store in a temporary folder for each test.
class Sandbox {
public:
    Sandbox() {
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QCoreApplication::setApplicationName(QStringLiteral("Horvex"));
    }
    QString file() const { return dir_.filePath(QStringLiteral("Horvex/Horvex.conf")); }
    void put(const QString& key, const QString& value) {
        QSettings raw(file(), QSettings::IniFormat);
        raw.setValue(key, value);
    }

private:
    QTemporaryDir dir_;
};

struct Harness {
    Sandbox sandbox;
    PtyLine line;
    std::unique_ptr<RegStore> store;
    RecordingPause pause;
    QTime now{9, 5, 7};
    int ended = 0;
    std::unique_ptr<FrmMain> window;

    // `portMapped` points COM4 at the pseudo-terminal.
    explicit Harness(bool portMapped = true) {
        if (portMapped)
            sandbox.put(QStringLiteral("Puertos/COM4"), line.path());
    }
    FrmMain& start() {
        store = std::make_unique<RegStore>();
        window = std::make_unique<FrmMain>(
            FrmMain::Services{*store, pause, [this] { return now; }, [this] { ++ended; }});
        window->Form_Load();
        return *window;
    }
    template <typename T> T* child(const QString& name) const {
        return window->findChild<T*>(name);
    }
};

} // namespace horvex::testing
