#pragma once

// Why a serial port could not be opened or written, in the operator's words:
// the system's and the serial layer's reasons come in English (or in the
// C library's words); the operator gets ours.

#include <QString>
#include <QtGlobal>
#include <optional>

namespace horvex {

// What the system's error `err` means for a serial port: "el dispositivo no
// existe", "el puerto está en uso por otro programa", ... Advice that needs
// the port number (the ports this PC has) is the caller's.
QString portReason(int err);

// The system error whose text `quoted` is, when it is one a port can meet:
// the serial layer passes the C library's text on, not the number.
std::optional<int> errnoQuoted(const QString& quoted);

// Who holds `device`: "minicom (pid 1234)", from the serial lock file
// (LCK..ttyUSB0 in /var/lock, /run/lock, ...) when a live process wrote it,
// else from the open descriptors in /proc (those of other processes this
// user may look at). Empty when nobody can be found.
QString portHolders(const QString& device);

// "ttyUSB0", "pts_3": the device below /dev as one file name, which the
// lock files of a line are named after.
QString deviceFileName(const QString& device);

// "minicom (pid 1234)": a process as the messages name it.
QString processText(qint64 pid);

// The pid a lock file holds: the first number in it, whether written as
// text ("1234\nminicom\n...") or padded ("      1234\n"); 0 when there is
// none or the file cannot be read.
qint64 lockFilePid(const QString& file);

} // namespace horvex
