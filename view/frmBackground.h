#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "session/ModuleQuery.h"
#include "ui/RingPainter.h"

namespace quorval {

struct Global;
class ModuleLink;
class ModuleData;

// One module picture; a click reports its position on the ring.
class ModulePicture : public QLabel {
    Q_OBJECT
  public:
    ModulePicture(int index, QWidget* parent);
    int Index() const { return index_; }
    int ImageIndex() const { return image_; }
    void SetImage(int index, const QPixmap& pixmap);

  signals:
    void clicked(int index);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void EmitClicked();

    int index_;
    int image_ = 1;
};

// "Bus Info": the modules found, drawn as a ring with their links.
class frmBackground : public QWidget {
    Q_OBJECT
  public:
    using Arc = RingArc;

    frmBackground(Global& g, ModuleLink& link, QWidget* parent = nullptr);

    // Rebuilds pictures, links and the "PC" label from the module table.
    void DrawModules();
    // Queries the module at position p, then shows it selected; nothing while
    // another exchange holds the line.
    void picModule_Click(int p);

    // Drawn links, oldest first (later ones cover earlier ones).
    const std::vector<Arc>& Arcs() const { return arcs_; }
    // The outer size to give the window when it opens, from the saved size.
    QSize SavedOuterSize() const;

    std::vector<ModulePicture*> picModule;
    QLabel* lblPC;
    std::array<QPixmap, 8> ImageList1;
    std::int16_t SelectedIndex = 0;

    static const QColor kBlue;
    static const QColor kRed;

  signals:
    // A click begins a query: the module state dialog is shown.
    void QueryBegun();
    // The query of a module has ended (answered or not): its record is to be shown.
    void ModuleQueried(int id, const quorval::ModuleData& record);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The ring is one stop of the Tab chain: it passes the focus on to a module.
    void focusInEvent(QFocusEvent* event) override;
    // The keys that move the focus round the ring, which the pictures leave to it.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The module pictures drawn (none for an empty table).
    int DrawnCount() const;
    // The picture that has the keyboard focus, -1 for none.
    int FocusedPosition() const;
    // Tells assistive technology and the tooltips what each picture shows.
    void DescribeModules();
    ModulePicture* Picture(int k) const;
    ModulePicture* LoadPicture(int k);
    void SetNormalImage(int k);
    void SetImage(int k, int imageIndex);
    // The links to the next and from the previous position, in their colours.
    void AddLinks(int k, int n);
    void SpinnerStep();
    // Only the module's ID is kept across the wait.
    void QueryEnded(int id, QueryOutcome outcome);

    Global& g_;
    ModuleLink& link_;
    std::vector<Arc> arcs_;
    QTimer spinner_;  // the caption's, while a query waits
    int spinnerPhase_ = 0;
};

}  // namespace quorval
