#pragma once

#include <QString>

namespace horvex::cli {

// Shows a notice through the desktop's notification service
// (org.freedesktop.Notifications) on the user's session bus. False when
// there is no bus or no service, or when it does not answer within about a
// second. Should the bus hang the program beyond two seconds, it ends with
// `exitCode`, what the run would have returned, rather than keep a timer
// waiting: call it last.
bool showNotice(const QString& summary, const QString& body, bool urgent, int exitCode);

} // namespace horvex::cli
