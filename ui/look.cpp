#include "ui/look.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace horvex {

QFont windowFont(double pointSize, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
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

void centerOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = window.frameGeometry().size();
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
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
