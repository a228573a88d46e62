#include "analyser/window/shell/child_frame.h"

#include <QCloseEvent>
#include <QMdiArea>

#include "platform/window/desktop_icon.h"
#include "platform/window/qt_user_messages.h"

namespace qorval::analyser {

CChildFrame::CChildFrame(const ViewSettings& settings, std::string title,
                         std::function<bool(CChildFrame&)> mayClose)
    : view_(new CLombex32View(settings)),
      doc_(*view_, std::move(title)),
      mayClose_(std::move(mayClose)) {
    setWidget(view_);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(ui::DesktopIcon("text-x-generic", QStyle::SP_FileIcon));
    connect(view_, &CLombex32View::rightButtonPressed, this, [this] {
        if (mdiArea() != nullptr) {
            mdiArea()->setActiveSubWindow(this);
        }
    });
    connect(view_->document(), &QTextDocument::modificationChanged, this,
            &CChildFrame::UpdateTitle);
    UpdateTitle();
}

void CChildFrame::UpdateTitle() {
    setWindowTitle(ui::ToQString(doc_.Title()) + QStringLiteral("[*]"));
    setWindowModified(doc_.IsModified());
}

void CChildFrame::CloseWithoutAsking() {
    force_ = true;
    close();
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (!force_ && mayClose_ && !mayClose_(*this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

}  // namespace qorval::analyser
