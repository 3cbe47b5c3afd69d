#pragma once

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
class MSComm1 {
public:
    explicit MSComm1(PortDeviceMap deviceMap = {});

    // The port numbers the serial layer takes.
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 255;

    std::int16_t CommPort() const { return commPort_; }
    // Throws Failure for a number the serial layer refuses (below kFirstPort
    // or above kLastPort); CommPort keeps its previous value then.
    void setCommPort(std::int16_t port);

    bool PortOpen() const;
    // true opens the device of CommPort, false closes it. Throws Failure with
    // the device tried and the layer's reason, e.g.
    // "COM4 (/dev/ttyS3): No such file or directory".
    void setPortOpen(bool open);

    // Hands one byte to the line and waits until it has left the program.
    // Throws Failure when the port is closed or the write fails; after a
    // failed write (hang-up, unplugged adapter) the port is closed.
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
    // The serial layer's reason for the last failure, prefixed by portLabel().
    QString layerReason() const;

    PortDeviceMap deviceMap_;
    std::optional<std::pair<int, QString>> runDevice_;
    std::int16_t commPort_ = 1;
    QSerialPort serial_;
};

} // namespace horvex
