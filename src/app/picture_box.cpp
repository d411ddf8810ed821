#include "picture_box.h"

#include <QImage>
#include <QPainter>

namespace kestrel {

PictureBox::PictureBox(const ScreenSurface& surface, QWidget* parent)
    : QWidget(parent), surface_(surface) {
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted below
}

void PictureBox::paintEvent(QPaintEvent*) {
    repaintPending_ = false;
    // The raster's 0xFFRRGGBB words are exactly QImage's RGB32; no copy.
    const QImage raster(reinterpret_cast<const uchar*>(surface_.pixels()), ScreenSurface::Width,
                        ScreenSurface::Height, ScreenSurface::Width * 4, QImage::Format_RGB32);
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(QRect(0, 0, ScreenSurface::Width, ScreenSurface::Height), raster);
}

} // namespace kestrel
