#include "driver/port_init.h"

#include "driver/channel_programme.h"
#include "driver/dma_lists.h"
#include "driver/frame_engine.h"
#include "driver/register_access.h"
#include "driver/register_map.h"

namespace wyvel32 {

bool InitPort(PortContext& port) {
    (void)SetLineInterface(port);
    (void)SetTxcPin(port);
    port.PortFlags = 0;
    IssueChannelCommand(port, ccar::kPurgeBothFifos);
    WriteIusc16(port, iusc::TDIAR, arm::kDmaArmEobEol);
    WriteIusc16(port, iusc::RDIAR, arm::kDmaArmEobEol);
    WriteIusc8(port, iusc::RICR, arm::kRicrLowRunning);
    WriteIusc8(port, iusc::TICR, arm::kTicrLowRunning);
    WriteIusc16(port, iusc::DICR, arm::kDicrEnable);
    WriteIusc16(port, iusc::ICR, arm::kIcrEnable);
    IssueChannelCommand(port, 0);  // the channel mode alone
    WriteIusc16(port, iusc::DCAR, dcar::kPauseAllBusEnabled);
    BuildDmaLists(port, BUILD_BOTH);
    SetNextReceiveList(port, port.RxListBase);
    WriteIusc16(port, iusc::DCAR, dcar::kStartRx);
    port.PortFlags |= TX_IDLE;
    return true;
}

NTSTATUS OpenTimeInitialisation(PortContext& port) {
    return SynchronizeExecution(*port.interrupt_sync, [&port]() -> NTSTATUS {
        ClearRings(port);
        if (!BoardPresent(port) || !NT_SUCCESS(ResetBoard(port)) || !NT_SUCCESS(SetupBoard(port)) ||
            !InitPort(port)) {
            return STATUS_UNSUCCESSFUL;
        }
        return STATUS_SUCCESS;
    });
}

}  // namespace wyvel32
