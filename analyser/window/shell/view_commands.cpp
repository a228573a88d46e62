#include "analyser/window/shell/view_commands.h"

#include <memory>

#include "analyser/window/shell/main_frame.h"
#include "analyser/window/views/analyser_views.h"

namespace qorval::analyser {
namespace {

// What "&f" prints: the document's path, or its title while it has none.
std::string DocumentName(CChildFrame& child) {
    const CLombex32Doc& doc = child.Doc();
    return doc.HasPath() ? doc.Path().string() : doc.Title();
}

// Connects `action` to `command`, run with the active view and its frame; a command that needs
// a view does nothing when none is active (its action is disabled then anyway).
template <typename Command>
void OnView(CMainFrame& frame, QAction* action, Command command) {
    QObject::connect(action, &QAction::triggered, &frame, [&frame, command] {
        if (CChildFrame* child = frame.ActiveChild()) {
            frame.UpdateCommandStates();  // a mark shows the state until the command changes it
            command(*child);
            frame.UpdateCommandStates();
        }
    });
}

}  // namespace

void ConnectViewCommands(CMainFrame& frame, const ViewCommandActions& actions) {
    // One printer for the run, so Print Setup and the print dialog's choices hold for the next
    // print; the lambdas share it and it lives as long as the last of them.
    auto printers = std::make_shared<views::PrinterSession>();
    ui::UserMessages& messages = frame;
    ViewSettings& settings = frame.App().View();

    OnView(frame, actions.wordWrap,
           [&settings](CChildFrame& child) { views::ToggleWordWrap(child.View(), settings); });
    OnView(frame, actions.setTabStops, [&frame, &settings, &messages](CChildFrame& child) {
        views::RunSetTabStopsDialog(child.View(), &frame, settings, messages);
    });
    OnView(frame, actions.setFont, [&frame, &settings](CChildFrame& child) {
        views::RunSetFontDialog(child.View(), &frame, settings);
    });
    OnView(frame, actions.setPrinterFont,
           [&frame, &settings, &messages, printers](CChildFrame& child) {
               views::RunSetPrinterFontDialog(child.View(), &frame, *printers, settings,
                                              messages);
           });
    OnView(frame, actions.mirrorDisplayFont,
           [&settings](CChildFrame&) { views::MirrorDisplayFont(settings); });
    OnView(frame, actions.print, [&frame, &settings, &messages, printers](CChildFrame& child) {
        views::PrintView(child.View(), &frame, *printers,
                         views::PrintRequest{settings, DocumentName(child)}, messages);
    });
    OnView(frame, actions.printPreview,
           [&frame, &settings, &messages, printers](CChildFrame& child) {
               views::PreviewView(child.View(), &frame, *printers,
                                  views::PrintRequest{settings, DocumentName(child)}, messages);
           });

    // Page Setup and Print Setup need no document.
    QObject::connect(actions.pageSetup, &QAction::triggered, &frame,
                     [&frame, &settings] { views::RunPageSetupDialog(&frame, settings); });
    QObject::connect(actions.printSetup, &QAction::triggered, &frame, [&frame, &messages,
                                                                         printers] {
        views::RunPrintSetupDialog(&frame, *printers, messages);
    });
}

}  // namespace qorval::analyser
