#pragma once

#include "clocklink/operator.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// A pseudo-terminal standing in for the clock's line: the program opens the
// slave, the test reads what arrives on the master.
class Pty {
public:
    Pty() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0)
            path_ = QString::fromLocal8Bit(::ttyname(slave_));
    }
    ~Pty() {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const QString& path() const { return path_; }
    // Everything that has arrived so far.
    QByteArray drain() {
        QByteArray got;
        pollfd fd{master_, POLLIN, 0};
        char buf[256];
        while (master_ >= 0 && ::poll(&fd, 1, 100) > 0 && (fd.revents & POLLIN)) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }
    // The far end hangs up.
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

struct RecordingStatus : horvex::StatusLine {
    QList<QPair<int, QString>> texts;
    void setPanelText(int panel, const QString& text) override { texts.append({panel, text}); }
    QStringList panel(int n) const {
        QStringList out;
        for (const auto& [p, t] : texts)
            if (p == n)
                out << t;
        return out;
    }
};

struct RecordingBox : horvex::MessageBox {
    QStringList titles, prompts;
    void critical(const QString& title, const QString& prompt) override {
        titles << title;
        prompts << prompt;
    }
};

// Records each pause instead of sleeping; `during` runs inside pause number n
// (from 1), where the real pause would pump events.
struct RecordingPause : horvex::Pause {
    QList<double> pauses;
    std::function<void(int)> during;
    void Tiempo(double seconds) override {
        pauses << seconds;
        if (during)
            during(int(pauses.size()));
    }
};

inline QString portPrompt(const QString& description) {
    return QStringLiteral("Error: ") + description +
           QStringLiteral("\r\n\r\n      El puerto puede estar usado o no existe. Configure otro "
                          "Puerto Serie");
}
