#include "manager/tinted_picture.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kesto::manager {

namespace {

constexpr QRgb kReferenceGrey = 0xC6C6C6;
constexpr QRgb kKeptRed = 0xFF0000;
constexpr int kMaxPixels = 40000 / 4;

int truncate_channel(double value) {
    return std::clamp(static_cast<int>(value), 0, 255);
}

double hue_to_channel(double m1, double m2, double hue) {
    if (hue < 0) hue += 1;
    if (hue > 1) hue -= 1;
    if (hue * 6 < 1) return m1 + (m2 - m1) * hue * 6;
    if (hue * 2 < 1) return m2;
    if (hue * 3 < 2) return m1 + (m2 - m1) * (2.0 / 3 - hue) * 6;
    return m1;
}

bool keeps_colour(QRgb pixel) {
    return qAlpha(pixel) == 0 || (pixel & 0xFFFFFF) == kKeptRed;
}

}  // namespace

Hls to_hls(QRgb rgb) {
    const double r = qRed(rgb) / 255.0, g = qGreen(rgb) / 255.0, b = qBlue(rgb) / 255.0;
    const double high = std::max({r, g, b}), low = std::min({r, g, b});
    const double lightness = (high + low) / 2;
    if (high == low) return {0, truncate_channel(lightness * 255), 0};
    const double delta = high - low;
    const double saturation = lightness <= 0.5 ? delta / (high + low) : delta / (2 - high - low);
    double hue = 0;
    if (high == r) {
        hue = (g - b) / delta;
    } else if (high == g) {
        hue = 2 + (b - r) / delta;
    } else {
        hue = 4 + (r - g) / delta;
    }
    hue = std::fmod(hue * 60 + 360, 360);
    return {truncate_channel(hue * 255 / 360), truncate_channel(lightness * 255),
            truncate_channel(saturation * 255)};
}

QRgb from_hls(Hls hls) {
    const double l = hls.lightness / 255.0, s = hls.saturation / 255.0, h = hls.hue / 255.0;
    if (hls.saturation == 0) {
        const int grey = truncate_channel(l * 255);
        return qRgb(grey, grey, grey);
    }
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    return qRgb(truncate_channel(hue_to_channel(m1, m2, h + 1.0 / 3) * 255),
                truncate_channel(hue_to_channel(m1, m2, h) * 255),
                truncate_channel(hue_to_channel(m1, m2, h - 1.0 / 3) * 255));
}

QImage tinted(const QImage& picture, QColor face) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const Hls target = to_hls(face.rgb());
    const int reference = std::max(1, to_hls(kReferenceGrey).lightness);
    int budget = kMaxPixels;
    for (int y = 0; y < out.height() && budget > 0; ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width() && budget > 0; ++x, --budget) {
            if (keeps_colour(line[x])) continue;
            const int lightness =
                std::clamp(to_hls(line[x]).lightness * target.lightness / reference, 0, 255);
            const QRgb colour = from_hls({target.hue, lightness, target.saturation});
            line[x] = (colour & 0xFFFFFF) | (static_cast<QRgb>(qAlpha(line[x])) << 24);
        }
    }
    return out;
}

TintedPicture::TintedPicture(QWidget* parent) : QWidget(parent) {}

bool TintedPicture::load(const QString& file) {
    QImage picture(file);
    if (picture.isNull()) return false;
    image_ = picture.hasAlphaChannel() && picture.depth() == 32
                 ? tinted(picture, palette().color(QPalette::Button))
                 : picture;
    updateGeometry();
    update();
    return true;
}

QSize TintedPicture::sizeHint() const {
    return image_.size();
}

void TintedPicture::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image_);
}

}  // namespace kesto::manager
