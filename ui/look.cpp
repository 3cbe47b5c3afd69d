#include "ui/look.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <optional>

#ifdef HORVEX_X11
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#endif

namespace horvex {

QFont windowFont(double pointSize, bool bold) {
    QFont font;
#ifdef Q_OS_WIN
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial")});
#else
    // Liberation Sans has the classic font's metrics, so the fixed layout
    // fits; without it the system's sans stands in. Naming fonts a Linux PC
    // does not have would only make every font search longer, and dearer.
    font.setFamilies({QStringLiteral("Liberation Sans")});
#endif
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(const QString& text, QWidget* parent, const QRect& geometry,
                  const QString& name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QGroupBox* makeFrame(const QString& caption, QWidget* parent, const QRect& geometry,
                     const QString& name) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    return frame;
}

QString elideMiddle(const QString& text, int maxChars) {
    if (text.size() <= maxChars)
        return text;
    const int half = (maxChars - 1) / 2;
    return text.left(half) + QChar(0x2026) + text.right(maxChars - 1 - half);
}

namespace {

QMargins frameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

#ifdef HORVEX_X11
template <typename T> using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atomNamed(xcb_connection_t* c, const char* name) {
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit values of a window's property.
std::vector<quint32> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name,
                              xcb_atom_t type) {
    const XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, type, 0, 1024), nullptr),
        &std::free);
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
    return {values, values + reply->value_len};
}

// The frame the window manager will give a window not yet mapped, asked of
// it beforehand (_NET_REQUEST_FRAME_EXTENTS), so that the window is placed
// once, frame included, instead of moving when the frame comes.
std::optional<QMargins> askedFrame(QWidget& window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* const c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr)
        return std::nullopt;
    const auto win = static_cast<xcb_window_t>(window.winId());
    const XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, win), nullptr), &std::free);
    const xcb_atom_t request = atomNamed(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atomNamed(c, "_NET_FRAME_EXTENTS");
    if (!tree || request == XCB_ATOM_NONE ||
        std::ranges::count(property(c, tree->root, atomNamed(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM),
                           request) == 0)
        return std::nullopt;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = win;
    message.type = request;
    xcb_send_event(c, 0, tree->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 200) {
        // Left, right, top, bottom, in the screen's pixels.
        if (const std::vector<quint32> e = property(c, win, extents, XCB_ATOM_CARDINAL);
            e.size() == 4) {
            const qreal ratio = window.devicePixelRatioF();
            return (QMarginsF(e[0], e[2], e[1], e[3]) / ratio).toMargins();
        }
        QThread::msleep(2);
    }
    return std::nullopt;
}
#else
std::optional<QMargins> askedFrame(QWidget&) {
    return std::nullopt;
}
#endif

// The window manager tells a window's frame only once it is mapped; until
// then it may say beforehand, or a decorated window already on screen shows
// what the frame will be.
QMargins expectedFrame(QWidget& window) {
    if (window.windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    if (window.isVisible())
        return frameMargins(window);
    if (const std::optional<QMargins> asked = askedFrame(window))
        return *asked;
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other->isVisible() && !other->windowFlags().testFlag(Qt::FramelessWindowHint))
            return frameMargins(*other);
    return {};
}

bool isEnter(const QKeyEvent& event) {
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

class EnterPressesButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !isEnter(*static_cast<QKeyEvent*>(event)))
            return false;
        if (!static_cast<QKeyEvent*>(event)->isAutoRepeat())
            static_cast<QAbstractButton*>(watched)->click();
        return true;
    }
};

} // namespace

void centerOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = expectedFrame(window);
    const QSize outer = window.size().grownBy(frame);
    int x = area.x() + (area.width() - outer.width()) / 2;
    int y = area.y() + (area.height() - outer.height()) / 2;
    // Too wide or too tall: the left edge and the bottom give way, never the
    // close box or the title bar.
    x = std::min(std::max(x, area.x()), area.x() + area.width() - outer.width());
    y = std::max(std::min(y, area.y() + area.height() - outer.height()), area.y());
    // The inside is placed, not the frame: move() would place the frame only
    // while the window has no native window yet, and the inside once it has.
    window.setGeometry(QRect(QPoint(x + frame.left(), y + frame.top()), window.size()));
}

namespace {

const char* const kSpokenName = "horvexSpokenName";

// Names every widget that waits for a name once a screen reader turns up.
class ScreenReaderNames : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override {
        if (!active)
            return;
        for (QWidget* top : QApplication::topLevelWidgets())
            for (QWidget* w : top->findChildren<QWidget*>())
                if (const QVariant name = w->property(kSpokenName); name.isValid())
                    w->setAccessibleName(name.toString());
    }
};

} // namespace

void nameForScreenReaders(QWidget& widget, const QString& name) {
    if (QAccessible::isActive()) {
        widget.setAccessibleName(name);
        return;
    }
    static ScreenReaderNames observer;
    static const bool installed = (QAccessible::installActivationObserver(&observer), true);
    (void)installed;
    widget.setProperty(kSpokenName, name);
}

QPushButton* makeButton(const QString& text, const QString& spoken, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    nameForScreenReaders(*button, spoken);
    return button;
}

void showDrawn(QWidget& window) {
    window.show();
    // Under a window manager the window is mapped a moment after show();
    // what is painted before that never reaches the screen.
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
           waited.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
    window.repaint();
}

void pressButtonsOnEnter(QWidget& window) {
    auto* filter = new EnterPressesButton(&window);
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->inherits("QPushButton") || button->inherits("QToolButton"))
            button->installEventFilter(filter);
}

bool swallowDialogKeys(QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event.accept();
        return true;
    default:
        return false;
    }
}

QShortcut* makeRedoShortcut(QWidget* window) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence shiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    if (!keys.contains(shiftZ))
        keys << shiftZ;
    auto* shortcut = new QShortcut(window);
    shortcut->setKeys(keys);
    return shortcut;
}

} // namespace horvex
