#include "ui/look.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <algorithm>

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

// The window manager tells a window's frame only once it is mapped; until
// then a decorated window already on screen shows what the frame will be.
QMargins expectedFrame(const QWidget& window) {
    if (window.windowFlags().testFlag(Qt::FramelessWindowHint))
        return {};
    if (window.isVisible())
        return frameMargins(window);
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
    const QSize outer = window.size().grownBy(expectedFrame(window));
    int x = area.x() + (area.width() - outer.width()) / 2;
    int y = area.y() + (area.height() - outer.height()) / 2;
    // Too wide or too tall: the left edge and the bottom give way, never the
    // close box or the title bar.
    x = std::min(std::max(x, area.x()), area.x() + area.width() - outer.width());
    y = std::max(std::min(y, area.y() + area.height() - outer.height()), area.y());
    // A top-level window's position is that of its frame.
    window.move(x, y);
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

} // namespace horvex
