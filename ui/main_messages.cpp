#include "ui/main_messages.h"

#include "ui/look.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QMessageBox>
#include <utility>

namespace horvex {

namespace {

constexpr int kStatusBarHeight = 375;
constexpr int kLongestBoxLine = 300;

// Panel 2 keeps its 1440 twips, too narrow for the longest port name in the
// window font; its letters are narrowed just enough for that name to fit.
void fitPortPanel(QLabel& panel) {
    const QString widest = QStringLiteral("COM255: 2400,N,8,1");
    panel.setIndent(1);
    // One pixel clear of the sunken border on either side.
    const qreal room = panel.contentsRect().width() - 2 * panel.indent();
    QFont font = panel.font();
    const qreal width = QFontMetricsF(font).boundingRect(widest).right();
    if (width <= room)
        return;
    // Widths follow the stretch nearly in proportion; a step or two more
    // makes up for hinting.
    for (int stretch = static_cast<int>(100 * room / width); stretch > 50; --stretch) {
        font.setStretch(stretch);
        if (QFontMetricsF(font).boundingRect(widest).right() <= room)
            break;
    }
    panel.setFont(font);
}

} // namespace

MainStatusBar::MainStatusBar(QWidget* window)
    : QStatusBar(window) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    const std::array<std::pair<int, int>, 2> widths{{{8130, 1440}, {1440, 1440}}};
    for (std::size_t p = 0; p < panels_.size(); ++p) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("Panel%1").arg(p + 1));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setMinimumWidth(px(widths[p].second));
        panel->setFixedWidth(px(widths[p].first));
        addWidget(panel);
        panels_[p] = panel;
    }
    fitPortPanel(*panels_[1]);
    dock();
}

void MainStatusBar::dock() {
    const QWidget& window = *parentWidget();
    setGeometry(0, window.height() - px(kStatusBarHeight), window.width(), px(kStatusBarHeight));
}

QString MainStatusBar::panelText(int panel) const {
    return texts_.at(static_cast<std::size_t>(panel - 1));
}

void MainStatusBar::setPanelText(int panel, const QString& text) {
    const auto index = static_cast<std::size_t>(panel - 1);
    QLabel* target = panels_.at(index);
    texts_.at(index) = text;
    // A message wider than its panel shows its start and its end, and whole
    // as the panel's tooltip.
    const int room = target->contentsRect().width() - 2 * target->margin() - 4;
    const QString shown =
        panel == 1 ? target->fontMetrics().elidedText(text, Qt::ElideMiddle, room) : text;
    target->setText(shown);
    target->setToolTip(shown == text ? QString() : text);
    // Drawn now: the pause that usually follows sleeps before it pumps events.
    target->repaint();
}

void criticalBox(const QString& title, const QString& prompt) {
    QString shown = prompt;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A box must fit on the screen whatever a device path or a file holds.
    QStringList lines = shown.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = elideMiddle(line, kLongestBoxLine);
    shown = lines.join(QLatin1Char('\n'));
    QMessageBox box(QMessageBox::Critical, title, shown, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorPuertoBox"));
    box.exec();
}

} // namespace horvex
