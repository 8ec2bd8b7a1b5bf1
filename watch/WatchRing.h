#pragma once

#include <array>
#include <vector>

#include <QPixmap>
#include <QWidget>

#include "geometry/BusGeometry.h"

namespace quorval {

// The ring of a watch, drawn as the bus view draws it, refreshed after every
// round: lamps red for a channel in error, links red between modules in error,
// a module that went missing greyed where it was. A click selects a module.
class WatchRing : public QWidget {
    Q_OBJECT
  public:
    struct Module {
        int id = 0;
        ChannelState lamps;
        bool present = true;
    };

    explicit WatchRing(QWidget* parent = nullptr);

    // The modules in display order.
    void SetModules(std::vector<Module> modules);
    const std::vector<Module>& Modules() const { return modules_; }
    // Highlights a module (-1: none).
    void SetSelected(int id);
    int Selected() const { return selected_; }
    // Where the picture of ring position k is.
    QRect PictureRect(int k) const;

  signals:
    void ModuleClicked(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    RingGeometry Geometry() const;
    const QPixmap& PictureOf(const Module& m) const;

    std::vector<Module> modules_;
    int selected_ = -1;
    std::array<QPixmap, 8> images_;
    std::array<QPixmap, 2> missing_;  // plain, highlighted
};

}  // namespace quorval
