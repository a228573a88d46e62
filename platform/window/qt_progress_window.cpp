#include "platform/window/qt_progress_window.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/window/qt_user_messages.h"

namespace qorval::ui {

QtProgressWindow::QtProgressWindow(CancelFlag& cancel, QWidget* parent)
    : QDialog(parent), cancel_(cancel), text_(new QLabel(this)), bar_(new QProgressBar(this)) {
    setObjectName("progressWindow");
    text_->setObjectName("progressText");
    bar_->setObjectName("progressBar");
    bar_->setRange(0, 100);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::rejected, this, &QtProgressWindow::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    // Modeless: the operation runs in the window's own thread and keeps dispatching messages.
    setModal(false);
}

void QtProgressWindow::Open(std::string_view caption, std::string_view text) {
    setWindowTitle(ToQString(caption));
    text_->setText(ToQString(text));
    bar_->setValue(0);
    show();
}

void QtProgressWindow::SetPercent(int percent) {
    bar_->setValue(std::clamp(percent, 0, 100));
}

void QtProgressWindow::SetText(std::string_view text) {
    text_->setText(ToQString(text));
}

void QtProgressWindow::Close() {
    hide();
}

void QtProgressWindow::reject() {
    cancel_.store(true, std::memory_order_relaxed);
    hide();
}

}  // namespace qorval::ui
