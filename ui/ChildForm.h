#pragma once

#include <functional>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

namespace quorval {

// A child window that exists from its first use until the user closes it; the
// next use creates it afresh and shows it.
template <class Form>
class ChildForm {
  public:
    using Factory = std::function<Form*()>;
    // Runs once for every new window, after it got its frame and before it shows.
    using Placer = std::function<void(Form&, QMdiSubWindow&)>;
    // Tool windows have a fixed size; the others can be resized.
    ChildForm(QMdiArea& area, Factory factory, bool toolWindow = true, Placer placer = {})
        : area_(area),
          factory_(std::move(factory)),
          toolWindow_(toolWindow),
          placer_(std::move(placer)) {}

    Form& Get() {
        if (!form_) {
            form_ = factory_();
            // No minimise or maximise box: the windows are placed around each other.
            const Qt::WindowFlags flags = Qt::SubWindow | Qt::CustomizeWindowHint |
                                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
            QMdiSubWindow* sub = area_.addSubWindow(form_, flags);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            if (toolWindow_) {
                sub->adjustSize();
                sub->setFixedSize(sub->size());
            }
            if (placer_) {
                placer_(*form_, *sub);
            }
            sub->show();
        }
        return *form_;
    }

    Form* Existing() const { return form_; }

  private:
    QMdiArea& area_;
    Factory factory_;
    bool toolWindow_;
    Placer placer_;
    QPointer<Form> form_;
};

}  // namespace quorval
