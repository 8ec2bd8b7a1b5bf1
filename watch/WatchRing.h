#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QPixmap>
#include <QWidget>

#include "geometry/BusGeometry.h"
#include "model/ModuleText.h"

namespace quorval {

// The ring of a watch, drawn as the bus view draws it, refreshed after every
// round: lamps red for a channel in error, links red between modules in error,
// a module that went missing greyed where it was. A click selects a module, and
// so does Enter on the module that the arrow keys moved the focus to. To
// assistive technology each module is a child of the ring, named and described.
class WatchRing : public QWidget {
    Q_OBJECT
  public:
    struct Module {
        int id = 0;
        ChannelState lamps;
        bool present = true;
        std::uint8_t version = 0;  // as last answered
        int count1 = 0;            // error counters, as last answered
        int count2 = 0;
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
    // What the picture of ring position k says, to assistive technology and in its tooltip.
    const ModuleWords& Words(int k) const { return words_[static_cast<std::size_t>(k)]; }
    // The position that has the keyboard focus while the ring has it, else -1.
    int FocusedPosition() const { return hasFocus() ? focused_ : -1; }

  signals:
    void ModuleClicked(int id);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

  private:
    RingGeometry Geometry() const;
    const QPixmap& PictureOf(const Module& m) const;
    int PositionOf(int id) const;
    int PositionAt(QPoint at) const;
    void MoveFocus(int k);

    std::vector<Module> modules_;
    std::vector<ModuleWords> words_;
    int selected_ = -1;
    int focused_ = -1;
    std::array<QPixmap, 8> images_;
    std::array<QPixmap, 2> missing_;  // plain, highlighted
};

}  // namespace quorval
