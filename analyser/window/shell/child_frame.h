// CChildFrame: the plain child window of a document: its view and the document it shows.
// Closing by the user asks to save a modified document; the main window closes capture
// windows and documents at capture start without asking.
#pragma once

#include <QMdiSubWindow>
#include <functional>
#include <memory>

#include "analyser/window/document/lombex32_doc.h"
#include "analyser/window/document/lombex32_view.h"

namespace qorval::analyser {

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT

  public:
    // `mayClose` asks the user about a modified document; false keeps the window open.
    CChildFrame(const ViewSettings& settings, std::string title,
                std::function<bool(CChildFrame&)> mayClose);

    CLombex32View& View() { return *view_; }
    CLombex32Doc& Doc() { return doc_; }
    void UpdateTitle();
    // Closes without asking.
    void CloseWithoutAsking();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    CLombex32View* view_;
    CLombex32Doc doc_;
    std::function<bool(CChildFrame&)> mayClose_;
    bool force_ = false;
};

}  // namespace qorval::analyser
