#include "editor/gridkey.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "editor/darkcolours.h"

namespace brunzit {

namespace {

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) + 0.0722 * channel(rgb.blue());
}

// The outline round the red marks: thin, but wide enough to be seen.
int outlineWidthFor(int frame)
{
    return std::max(2, frame / 3);
}

int marginFor(int frame)
{
    return std::max(2, frame / 2);
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

HighlightLook highlightLook(bool dark)
{
    const SchemeColours scheme = schemeColours(dark);
    // Red on white falls short of 4.5:1, red on black does not: the red is
    // always outlined in black.
    return {scheme.text, HighlightedKeyColour, QColor(0, 0, 0)};
}

std::vector<ColourEdge> highlightEdges(bool dark)
{
    const HighlightLook look = highlightLook(dark);
    std::vector<ColourEdge> edges;
    if (look.outline == look.body) {
        edges.push_back({"red on the key", look.mark, look.body});
    } else {
        edges.push_back({"red on its outline", look.mark, look.outline});
        edges.push_back({"outline on the key", look.outline, look.body});
    }
    edges.push_back({"key among the others", look.body, schemeColours(dark).background});
    return edges;
}

int fittingPixelSize(const QFont& base, const QStringList& captions, QSize box, int ceiling)
{
    // Binary search: the fit only grows with the size.
    int low = 1;
    int high = std::max(1, ceiling);
    auto fits = [&](int pixels) {
        QFont font = base;
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        // The ink of each caption, which is what is centred in the key.
        for (const QString& caption : captions) {
            const QRect ink = metrics.tightBoundingRect(caption);
            if (ink.width() > box.width() || ink.height() > box.height())
                return false;
        }
        return true;
    };
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (fits(mid))
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

GridKey::GridKey(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    updatePalette();
}

void GridKey::setScheme(bool dark)
{
    if (dark_ == dark)
        return;
    dark_ = dark;
    updatePalette();
}

void GridKey::setHighlighted(bool on)
{
    if (highlighted_ == on)
        return;
    highlighted_ = on;
    updatePalette();
}

int GridKey::frameWidthFor(QSize key)
{
    return std::max(4, std::min(key.width(), key.height()) / 12);
}

QRect GridKey::captionBoxFor(QSize key)
{
    const int frame = frameWidthFor(key);
    const int inset = marginFor(frame) + frame + outlineWidthFor(frame);
    return QRect(QPoint(0, 0), key).adjusted(inset, inset, -inset, -inset);
}

void GridKey::updatePalette()
{
    const SchemeColours scheme = schemeColours(dark_);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, scheme.background);
    palette.setColor(QPalette::WindowText, highlighted_ ? HighlightedKeyColour : scheme.text);
    setPalette(palette);
    update();
}

void GridKey::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const SchemeColours scheme = schemeColours(dark_);
    // The caption's ink is centred, so that the fitted size is never cut.
    const QFontMetrics metrics(font());
    const QRect ink = metrics.tightBoundingRect(text());
    const QPointF baseline(width() / 2.0 - ink.center().x(), height() / 2.0 - ink.center().y());
    if (!highlighted_) {
        painter.fillRect(rect(), scheme.background);
        painter.setPen(scheme.text);
        painter.setFont(font());
        painter.drawText(baseline, text());
        return;
    }
    const HighlightLook look = highlightLook(dark_);
    painter.fillRect(rect(), look.body);

    const int frame = frameWidthFor(size());
    const int outline = outlineWidthFor(frame);
    const int margin = marginFor(frame);
    // The frame: a red band with an outline on both sides.
    const QRect outer = rect().adjusted(margin, margin, -margin, -margin);
    QPainterPath band;
    band.setFillRule(Qt::OddEvenFill);
    band.addRect(outer);
    band.addRect(outer.adjusted(frame + outline, frame + outline, -frame - outline, -frame - outline));
    painter.fillPath(band, look.outline);
    QPainterPath red;
    red.setFillRule(Qt::OddEvenFill);
    red.addRect(outer.adjusted(outline, outline, -outline, -outline));
    red.addRect(outer.adjusted(frame, frame, -frame, -frame));
    painter.fillPath(red, look.mark);

    if (text().isEmpty())
        return;
    // The caption: red and outlined.
    QPainterPath caption;
    caption.addText(baseline, font(), text());
    painter.strokePath(caption, QPen(look.outline, outline, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(caption, look.mark);
}

}  // namespace brunzit
