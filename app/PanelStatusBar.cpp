#include "PanelStatusBar.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int BarHeight = 21;
// Between a panel's sunken frame and its text.
constexpr int TextPadding = 4;
} // namespace

PanelStatusBar::PanelStatusBar(std::vector<int> rightEdges, QWidget* parent)
    : QWidget(parent), rightEdges_(std::move(rightEdges)), texts_(rightEdges_.size() + 1) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The bar paints every pixel of what it repaints; without this the window's background
    // would be painted under it first, at every status change of a scan.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelStatusBar::SetPanelText(int panel, const std::string& utf8Text) {
    if (panel < 0 || panel >= PanelCount()) {
        return;
    }
    auto& text = texts_[static_cast<size_t>(panel)];
    if (text == utf8Text) {
        return;
    }
    text = utf8Text;
    update(PanelRect(panel));
}

void PanelStatusBar::SetPanelText(int panel, const QString& text) {
    SetPanelText(panel, text.toUtf8().toStdString());
}

QString PanelStatusBar::PanelText(int panel) const {
    if (panel < 0 || panel >= PanelCount()) {
        return QString();
    }
    const auto& text = texts_[static_cast<size_t>(panel)];
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect PanelStatusBar::PanelRect(int panel) const {
    if (panel < 0 || panel >= PanelCount()) {
        return QRect();
    }
    const int left = panel == 0 ? 0 : rightEdges_[static_cast<size_t>(panel - 1)];
    const int right = panel < static_cast<int>(rightEdges_.size())
                          ? rightEdges_[static_cast<size_t>(panel)]
                          : width();
    return QRect(left, 0, std::max(0, right - left), height());
}

QSize PanelStatusBar::sizeHint() const {
    const int lastEdge = rightEdges_.empty() ? 0 : rightEdges_.back();
    return QSize(lastEdge + 50, BarHeight);
}

QSize PanelStatusBar::minimumSizeHint() const {
    return QSize(0, BarHeight);
}

void PanelStatusBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    for (int panel = 0; panel < PanelCount(); ++panel) {
        const QRect area = PanelRect(panel).adjusted(0, 2, -2, 0);
        // Laying out a text is the costly part; the status line changes with every folder.
        if (area.width() <= 0 || !event->rect().intersects(PanelRect(panel))) {
            continue;
        }
        // A sunken panel, drawn with the palette's shades so that it looks alike in every
        // style.
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(area.topLeft(), area.topRight());
        painter.drawLine(area.topLeft(), area.bottomLeft());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(area.bottomLeft(), area.bottomRight());
        painter.drawLine(area.topRight(), area.bottomRight());

        const QRect textArea = area.adjusted(TextPadding, 0, -TextPadding, 0);
        // No character is narrower than a pixel, so no more characters than the panel has
        // pixels can show: a folder text of many thousand characters (a deep tree) is cut
        // there before it is decoded and laid out, which would otherwise cost more than the
        // walk itself.
        const std::string& utf8 = texts_[static_cast<size_t>(panel)];
        const std::size_t shownBytes =
            std::min(utf8.size(), static_cast<std::size_t>(textArea.width() + 1) * 4);
        const QString text = painter.fontMetrics().elidedText(
            QString::fromUtf8(utf8.data(), static_cast<qsizetype>(shownBytes)), Qt::ElideRight,
            textArea.width());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
}
