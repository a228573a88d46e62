#include "bert/window/kessup_controls.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "bert/bert_texts.h"

namespace qorval::bert::window {
namespace {

template <typename T>
T* Named(T* widget, const char* objectName) {
    widget->setObjectName(objectName);
    return widget;
}

QPushButton* Button(const char* caption, const char* objectName) {
    return Named(new QPushButton(caption), objectName);
}

QLabel* Value(const char* objectName) {
    auto* label = Named(new QLabel("0"), objectName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(90);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QProgressBar* Bar(const char* objectName) {
    auto* bar = Named(new QProgressBar, objectName);
    bar->setRange(0, 100);  // until a port gives the buffer counts
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setMinimumWidth(160);
    return bar;
}

QGroupBox* OneButtonGroup(const char* title, QPushButton* first, QPushButton* second = nullptr) {
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(first);
    if (second != nullptr) {
        layout->addWidget(second);
    }
    return group;
}

// One row of the statistics grid: label, value and, for the rates, the unit.
void AddRow(QGridLayout& grid, const char* label, QLabel* value, const char* unit = nullptr) {
    const int row = grid.rowCount();
    grid.addWidget(new QLabel(label), row, 0);
    grid.addWidget(value, row, 1);
    if (unit != nullptr) {
        grid.addWidget(new QLabel(unit), row, 2);
    }
}

// The rows of "Tx/Rx Statistics", top to bottom.
struct StatisticsRow {
    const char* label;
    const char* objectName;
    QLabel* KessupControls::*field;
    const char* unit = nullptr;
};
constexpr StatisticsRow kStatisticsRows[] = {
    {text::kTxFrames, "txFrames", &KessupControls::txFrames},
    {text::kRxFrames, "rxFrames", &KessupControls::rxFrames},
    {text::kBytesChecked, "bytesChecked", &KessupControls::bytesChecked},
    {text::kBitErrors, "bitErrors", &KessupControls::bitErrors},
    {text::kOverrunErrors, "overrunErrors", &KessupControls::overrunErrors},
    {text::kCrcErrors, "crcErrors", &KessupControls::crcErrors},
    {text::kLineErrors, "lineErrors", &KessupControls::lineErrors},
    {text::kOtherErrors, "otherErrors", &KessupControls::otherErrors},
    {text::kSyncLosses, "syncLosses", &KessupControls::syncLosses},
    {text::kTxDataRate, "txRate", &KessupControls::txRate, text::kRateUnit},
    {text::kRxDataRate, "rxRate", &KessupControls::rxRate, text::kRateUnit},
    {text::kStatus, "status", &KessupControls::status},
};

}  // namespace

KessupControls BuildKessupControls(QDialog& window) {
    KessupControls c{};
    c.startButton = Button(text::kStart, "startButton");
    c.portButton = Button(text::kOpen, "portButton");
    c.stateButton = Button(text::kStateButton, "stateButton");
    c.testTime = Named(new QLabel(text::kTestTimeAtStart), "testTime");
    c.testTime->setAlignment(Qt::AlignCenter);
    c.resetStatsButton = Button(text::kResetStats, "resetStatsButton");
    c.repeatMode = Named(new QCheckBox(text::kRepeatMode), "repeatMode");
    c.diskThread = Named(new QCheckBox(text::kDiskThread), "diskThread");
    c.exitButton = Button(text::kExit, "exitButton");
    c.txBuffers = Value("txBuffers");
    c.rxBuffers = Value("rxBuffers");
    c.txBufferBar = Bar("txBufferBar");
    c.rxBufferBar = Bar("rxBufferBar");

    auto* testTime = new QGroupBox(text::kTestTimeGroup);
    (new QVBoxLayout(testTime))->addWidget(c.testTime);
    auto* left = new QVBoxLayout;
    left->addWidget(OneButtonGroup(text::kTransmitGroup, c.startButton));
    left->addWidget(OneButtonGroup(text::kPortGroup, c.portButton, c.stateButton));
    left->addWidget(testTime);
    left->addWidget(c.resetStatsButton);
    left->addWidget(c.repeatMode);
    left->addWidget(c.diskThread);
    left->addStretch();
    left->addWidget(c.exitButton);

    auto* statistics = new QGroupBox(text::kStatisticsGroup);
    auto* grid = new QGridLayout(statistics);
    for (const StatisticsRow& row : kStatisticsRows) {
        QLabel* value = Value(row.objectName);
        c.*row.field = value;
        AddRow(*grid, row.label, value, row.unit);
    }
    c.status->setText(text::kNoData);

    auto* buffers = new QGroupBox(text::kBufferGroup);
    auto* bufferGrid = new QGridLayout(buffers);
    bufferGrid->addWidget(new QLabel(text::kTxBuffersAvailable), 0, 0);
    bufferGrid->addWidget(c.txBuffers, 0, 1);
    bufferGrid->addWidget(c.txBufferBar, 0, 2);
    bufferGrid->addWidget(new QLabel(text::kRxBuffersAvailable), 1, 0);
    bufferGrid->addWidget(c.rxBuffers, 1, 1);
    bufferGrid->addWidget(c.rxBufferBar, 1, 2);

    auto* right = new QVBoxLayout;
    right->addWidget(statistics);
    right->addWidget(buffers);
    auto* layout = new QHBoxLayout(&window);
    layout->addLayout(left);
    layout->addLayout(right);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return c;
}

}  // namespace qorval::bert::window
