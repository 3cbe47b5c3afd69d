#pragma once

#include "clocklink/operator.h"
#include "schedule/guarded_file.h"

#include <QSerialPort>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace horvex {

// Where port n lives on this machine when the settings name a device for it
// ("COM1" -> "/dev/ttyUSB0"); empty when they do not.
using PortDeviceMap = std::function<std::optional<QString>(int port)>;

// The clock's serial port: a port number, open or closed, and an output that
// puts one character on the line at once. The line settings are fixed at
// 2400 baud, no parity, 8 data bits, 1 stop bit, no flow control.
//
// Open means checked and chosen: the device itself is held only while a
// frame goes out (a Line), so that the window and the timed upload share it.
// Every Line of every Horvex of this user on one device takes the same lock
// first, so frames queue whole, one after the other.
class MSComm1 {
public:
    // `waits`, when given, is how to wait for another upload's line: a
    // window pumps its events meanwhile. Otherwise the wait sleeps.
    explicit MSComm1(PortDeviceMap deviceMap = {}, Pause* waits = nullptr);

    // How long to wait for another upload to let the line go: one frame
    // is 0.8 s, a timed upload holds the line up to 2 s.
    static constexpr int kLineWaitMs = 10000;

    // The port numbers the serial layer takes.
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 255;

    std::int16_t CommPort() const { return commPort_; }
    // Throws Failure for a number the serial layer refuses (below kFirstPort
    // or above kLastPort); CommPort keeps its previous value then.
    void setCommPort(std::int16_t port);

    bool PortOpen() const { return open_; }
    // true checks that the device of CommPort opens now (waiting, as a Line
    // does, for another upload to end) and lets it go again; false closes.
    // Throws Failure with the device tried and the reason, e.g.
    // "COM4 (/dev/ttyS3): el dispositivo no existe. Puertos serie en …".
    void setPortOpen(bool open);

    // The device held for one frame: the lock of this device taken (waiting
    // up to kLineWaitMs), the device opened; both let go at the end. A Line
    // inside a Line is the same one. Throws Failure when the port is closed,
    // the device cannot be opened now (an adapter unplugged since it was
    // checked) or another upload keeps the line too long.
    class Line {
    public:
        explicit Line(MSComm1& port);
        ~Line();
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;

    private:
        MSComm1& port_;
    };

    // Hands one byte to the line and waits until it has left the program.
    // Throws Failure outside a Line or when the write fails; a failed write
    // (hang-up, unplugged adapter) lets the device go at once.
    void Output(char byte);

    // The device that port n opens: COMn on Windows; on Unix the device
    // chosen for this run, else the mapped one, else /dev/ttyS<n-1>.
    // Throws Failure for a mapping that is a relative path.
    QString deviceFor(int port) const;

    // The device the settings map port n to: a bare name ("ttyUSB0") is
    // one in /dev. Nothing when none is mapped. Throws Failure, naming the
    // line, for a relative path, which would depend on the working folder.
    std::optional<QString> mappedDevice(int port) const;

    // Port n opens `device` until the program ends; the settings keep theirs.
    void useForThisRun(int port, const QString& device);

    // "COM4 (/dev/ttyS3)": the port and its device, for messages.
    QString portLabel() const;

private:
    // The lock every Line on this device takes, waited for; nothing when
    // there is no folder to keep it in.
    std::optional<HeldLock> takeLine(const QString& device);
    // Opens `device` (the device of CommPort, links followed).
    void openDevice(const QString& device);
    // The serial layer's reason for the last failure, in our words,
    // prefixed by portLabel().
    QString layerReason(const QString& device) const;

    PortDeviceMap deviceMap_;
    Pause* waits_;
    std::optional<std::pair<int, QString>> runDevice_;
    std::int16_t commPort_ = 1;
    bool open_ = false;
    int lines_ = 0; // Lines alive, nested
    std::optional<HeldLock> lineLock_;
    QSerialPort serial_;
};

} // namespace horvex
