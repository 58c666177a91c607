#pragma once
// TintedPicture: the logo, painted at the top left of its area, re-coloured once after
// loading so that it takes the desktop's button colour in a light or a dark theme.
// The picture is a grey relief; each pixel keeps its own lightness relative to the
// reference grey 0xC6C6C6, scaled by the button colour's lightness, and takes the button
// colour's hue and saturation. Fully transparent pixels and pure red stay as they are.

#include <QImage>
#include <QWidget>

namespace kesto::manager {

// Hue, lightness and saturation, each scaled to 0..255 (hue: degrees * 255 / 360).
struct Hls {
    int hue = 0;
    int lightness = 0;
    int saturation = 0;
};

[[nodiscard]] Hls to_hls(QRgb rgb);
[[nodiscard]] QRgb from_hls(Hls hls);  // opaque

// The picture re-coloured to `face`; only the first 10,000 pixels are processed.
[[nodiscard]] QImage tinted(const QImage& picture, QColor face);

class TintedPicture : public QWidget {
  public:
    explicit TintedPicture(QWidget* parent = nullptr);
    // Loads the picture and tints it to the palette's button colour.
    bool load(const QString& file);
    [[nodiscard]] const QImage& image() const { return image_; }
    [[nodiscard]] QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
};

}  // namespace kesto::manager
