#pragma once

#include <QIcon>
#include <QSize>
#include <QString>
#include <array>

// Q_INIT_RESOURCE declares the registration function where it expands, so it
// must stay outside any namespace.
inline void horvexRegisterPictures() {
    Q_INIT_RESOURCE(horvex);
}

namespace horvex {

// The pictures are compiled into a static library; without a reference to
// their registration the linker drops them, so every getter makes sure first.
inline void initPictures() {
    static const bool registered = (horvexRegisterPictures(), true);
    (void)registered;
}

// The sizes a window's icon is shown at: title bar, task bar, window switcher.
// The larger drawings are for the desktop's icon theme, installed beside the
// program; decoding them here would only cost memory.
inline constexpr std::array<int, 4> kWindowIconSizes{16, 24, 32, 48};

// A window's icon from its drawings ":/icons/NAME-SIZE.png", each of those
// sizes drawn, so Qt never scales up.
inline QIcon windowIcon(const char* name) {
    initPictures();
    QIcon icon;
    for (const int size : kWindowIconSizes)
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(name)).arg(size),
                     QSize(size, size));
    return icon;
}

inline QIcon horvexIcon() {
    return windowIcon("horvex");
}

// The calendar window's icon.
inline QIcon calendarIcon() {
    return windowIcon("calendario");
}

// A 24 x 24 button or dialog icon ("opciones", "grabar", "acerca", "salir",
// "puerto"); the 48 px drawing serves high-dpi screens.
inline QIcon buttonIcon(const char* name) {
    initPictures();
    QIcon icon;
    for (const int size : {24, 48})
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1String(name)).arg(size),
                     QSize(size, size));
    return icon;
}

// The About box picture, 250 x 148 pixels, meant to be drawn unscaled.
inline QString aboutPicturePath() {
    initPictures();
    return QStringLiteral(":/about.jpg");
}

} // namespace horvex
