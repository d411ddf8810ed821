#pragma once

#include "base/screen_surface.h"

#include <QWidget>

namespace kestrel {

// Picture1: shows the machine's screen surface 1:1 in device-independent
// pixels, black wherever the surface does not reach. The surface is the
// record; this widget only shows it, so covering or minimising the window
// changes nothing that the machine reads back.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(const ScreenSurface& surface, QWidget* parent = nullptr);

    // The surface changed: repaint once, however often this is called
    // before the repaint happens.
    void markChanged() {
        if (repaintPending_) return;
        repaintPending_ = true;
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const ScreenSurface& surface_;
    bool repaintPending_ = false;
};

} // namespace kestrel
