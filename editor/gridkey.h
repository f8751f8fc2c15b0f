#pragma once
// A key of the grid keyboard: paints its caption, its background and, when
// highlighted, the marks that make it unmistakable for a user with poor
// sight in either colour scheme.

#include <QColor>
#include <QLabel>
#include <vector>

namespace brunzit {

// Two colours that meet on the screen, and what their contrast must reach.
struct ColourEdge {
    const char* where;
    QColor a, b;
};

// Relative-luminance contrast ratio, from 1 (same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// The colours of a highlighted key: its body is the scheme's colours
// inverted, its thick frame and caption red, each outlined so that red
// never meets a colour it cannot be told from.
struct HighlightLook {
    QColor body, mark, outline;
};
HighlightLook highlightLook(bool dark);
// Every pair of colours that meet on and around a highlighted key.
std::vector<ColourEdge> highlightEdges(bool dark);

// The largest pixel size (at most ceiling) at which every caption fits in
// a box of the given size in font base, bold or not as base is.
int fittingPixelSize(const QFont& base, const QStringList& captions, QSize box, int ceiling);

class GridKey : public QLabel {
    Q_OBJECT
public:
    explicit GridKey(const QString& caption, QWidget* parent = nullptr);

    // The scheme and the highlight also set the palette (background and
    // caption colour), which is what assistive tools read.
    void setScheme(bool dark);
    void setHighlighted(bool on);
    bool dark() const { return dark_; }
    bool highlighted() const { return highlighted_; }
    // The frame of a highlighted key, drawn inside the key a little off its
    // edge, and the box left inside it for the caption.
    static int frameWidthFor(QSize key);
    static QRect captionBoxFor(QSize key);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updatePalette();
    bool dark_ = false;
    bool highlighted_ = false;
};

}  // namespace brunzit
