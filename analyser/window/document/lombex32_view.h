// CLombex32View: the text window of a document, a plain-text edit that holds at most
// kTextLimit characters. The capture window and the plain text editor are this same view.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QPlainTextEdit>

#include "analyser/settings.h"

namespace qorval::analyser {

class CLombex32View : public QPlainTextEdit {
    Q_OBJECT

  public:
    // The edit control's limit: 1048575 characters, each line end counting as one.
    static constexpr int kTextLimit = 0xFFFFF;

    // Takes word wrap, tab stops and the display font from the program-wide settings.
    explicit CLombex32View(const ViewSettings& settings, QWidget* parent = nullptr);

    // Characters in the text.
    int TextLength() const;
    // Keys of the main window's commands that must reach it while the view has the focus
    // (the edit control would otherwise take Ctrl+A and its like for itself).
    void SetFrameShortcuts(QList<QKeySequence> keys) { frameKeys_ = std::move(keys); }

  Q_SIGNALS:
    // A right button press: the frame window comes to the top.
    void rightButtonPressed();
    // Typing or pasting was cut short at the text limit.
    void textLimitReached();

  protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void KeepWithinLimit(int position, int removed, int added);

    QList<QKeySequence> frameKeys_;
    bool trimming_ = false;
};

}  // namespace qorval::analyser
