#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

// A status bar of sunken panels side by side. Each panel but the last ends at a fixed
// right edge; the last one runs to the bar's right edge. Setting a text is cheap: it is
// kept as given (UTF-8 bytes) and only decoded when the bar is painted, so that the walk can
// set the status line for every folder without paying for a repaint each time.
class PanelStatusBar : public QWidget {
    Q_OBJECT
public:
    // `rightEdges` are the right edges of all panels but the last, in pixels, ascending;
    // empty for a bar with one simple panel.
    explicit PanelStatusBar(std::vector<int> rightEdges, QWidget* parent = nullptr);

    int PanelCount() const { return static_cast<int>(texts_.size()); }
    // Replaces a panel's text (UTF-8; invalid bytes are shown as replacement characters).
    // Out-of-range panels are ignored. The new text shows at the bar's next repaint.
    void SetPanelText(int panel, const std::string& utf8Text);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    // The panel's area in the bar's coordinates.
    QRect PanelRect(int panel) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> rightEdges_;
    std::vector<std::string> texts_;
};
