// The Plug and Play manager's side of the bus: the functions announced on it, each with its
// device stack (the physical device object below, the driver's device above), and the Plug
// and Play, power and system control requests sent to the top of a stack.

#include "kernel/io_manager.h"
#include "kernel/io_manager_records.h"

namespace qorval::kernel {
namespace {

DeviceObject* TopOf(DeviceObject* device) {
    while (DeviceObject* above = device->AttachedDevice.load()) {
        device = above;
    }
    return device;
}

std::unique_ptr<Irp> PnpIrp(uint8_t minor) {
    auto irp = std::make_unique<Irp>(MajorFunction::Pnp, minor);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;  // what the PnP manager starts every request with
    return irp;
}

}  // namespace

NTSTATUS IoManager::AddPhysicalDevice(PhysicalDeviceInfo info, DeviceId* id) {
    auto function = std::make_shared<Function>();
    auto extension = std::make_shared<PhysicalDeviceInfo>(std::move(info));
    function->Info = extension.get();
    DeviceObject* pdo = nullptr;
    NTSTATUS status = IoCreateDeviceWithExtension(m_busDriver.get(), "", extension,
                                                  FILE_DEVICE_UNKNOWN, 0, false, &pdo);
    if (!wyvel32::NT_SUCCESS(status)) {
        return status;
    }
    pdo->Flags.fetch_and(~uint32_t{DO_DEVICE_INITIALIZING});
    function->Pdo = Reference(pdo);
    {
        std::lock_guard guard(m_lock);
        *id = m_nextFunction++;
        m_functions[*id] = function;
    }
    if (!m_driver || m_driver->AddDevice == nullptr) {
        return STATUS_NO_SUCH_DEVICE;
    }
    return m_driver->AddDevice(m_driver.get(), pdo);
}

std::shared_ptr<IoManager::Function> IoManager::FindFunction(DeviceId id) const {
    std::lock_guard guard(m_lock);
    auto found = m_functions.find(id);
    return found == m_functions.end() ? nullptr : found->second;
}

NTSTATUS IoManager::SendPnpIrp(DeviceId id, std::unique_ptr<Irp> irp) {
    std::shared_ptr<Function> function = FindFunction(id);
    if (!function) {
        return STATUS_NO_SUCH_DEVICE;
    }
    DeviceObject* top = TopOf(function->Pdo.get());
    if (top == function->Pdo.get()) {
        return STATUS_NO_SUCH_DEVICE;  // no driver device on this function
    }
    const bool starts =
        irp->MajorFunction == MajorFunction::Pnp && irp->MinorFunction == IRP_MN_START_DEVICE;
    function->Activity->BeginRequest(starts ? DeviceActivity::Cause::Start
                                            : DeviceActivity::Cause::Request);
    const NTSTATUS status = SendAndWait(top, std::move(irp));
    function->Activity->EndRequest();
    return status;
}

NTSTATUS IoManager::StartDevice(DeviceId id) {
    std::shared_ptr<Function> function = FindFunction(id);
    if (!function) {
        return STATUS_NO_SUCH_DEVICE;
    }
    auto irp = PnpIrp(IRP_MN_START_DEVICE);
    const PhysicalDeviceInfo& info = *function->Info;
    irp->Parameters.AllocatedResources = info.RawResources ? &*info.RawResources : nullptr;
    irp->Parameters.AllocatedResourcesTranslated =
        info.TranslatedResources ? &*info.TranslatedResources : nullptr;
    return SendPnpIrp(id, std::move(irp));
}

NTSTATUS IoManager::QueryStopDevice(DeviceId id) {
    return SendPnpIrp(id, PnpIrp(IRP_MN_QUERY_STOP_DEVICE));
}

NTSTATUS IoManager::CancelStopDevice(DeviceId id) {
    return SendPnpIrp(id, PnpIrp(IRP_MN_CANCEL_STOP_DEVICE));
}

NTSTATUS IoManager::StopDevice(DeviceId id) {
    return SendPnpIrp(id, PnpIrp(IRP_MN_STOP_DEVICE));
}

NTSTATUS IoManager::QueryRemoveDevice(DeviceId id) {
    return SendPnpIrp(id, PnpIrp(IRP_MN_QUERY_REMOVE_DEVICE));
}

NTSTATUS IoManager::CancelRemoveDevice(DeviceId id) {
    return SendPnpIrp(id, PnpIrp(IRP_MN_CANCEL_REMOVE_DEVICE));
}

NTSTATUS IoManager::SurpriseRemoveDevice(DeviceId id) {
    return SendPnpIrp(id, PnpIrp(IRP_MN_SURPRISE_REMOVAL));
}

NTSTATUS IoManager::SendPnp(DeviceId id, uint8_t minor) {
    return SendPnpIrp(id, PnpIrp(minor));
}

NTSTATUS IoManager::RemoveDevice(DeviceId id) {
    std::shared_ptr<Function> function = FindFunction(id);
    if (!function) {
        return STATUS_NO_SUCH_DEVICE;
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (TopOf(function->Pdo.get()) != function->Pdo.get()) {
        status = SendPnpIrp(id, PnpIrp(IRP_MN_REMOVE_DEVICE));
    }
    // The function is gone from the bus: delete its physical device object.
    IoDeleteDevice(function->Pdo.get());
    std::lock_guard guard(m_lock);
    m_functions.erase(id);
    return status;
}

NTSTATUS IoManager::SendSystemPower(DeviceId id, uint8_t minor, SystemPowerState state) {
    auto irp = std::make_unique<Irp>(MajorFunction::Power, minor);
    irp->Parameters.PowerType = PowerStateType::System;
    irp->Parameters.SystemState = state;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    return SendPnpIrp(id, std::move(irp));
}

NTSTATUS IoManager::SendDevicePower(DeviceId id, uint8_t minor, DevicePowerState state) {
    auto irp = std::make_unique<Irp>(MajorFunction::Power, minor);
    irp->Parameters.PowerType = PowerStateType::Device;
    irp->Parameters.DeviceState = state;
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    return SendPnpIrp(id, std::move(irp));
}

NTSTATUS IoManager::SendSystemControl(DeviceId id, uint8_t minor) {
    auto irp = std::make_unique<Irp>(MajorFunction::SystemControl, minor);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    return SendPnpIrp(id, std::move(irp));
}

void IoManager::SetResources(DeviceId id, std::optional<ResourceList> raw,
                             std::optional<ResourceList> translated) {
    std::lock_guard guard(m_lock);
    auto found = m_functions.find(id);
    if (found != m_functions.end()) {
        found->second->Info->RawResources = std::move(raw);
        found->second->Info->TranslatedResources = std::move(translated);
    }
}

std::vector<IoManager::DeviceId> IoManager::Devices() const {
    std::lock_guard guard(m_lock);
    std::vector<DeviceId> ids;
    for (const auto& [id, function] : m_functions) {
        ids.push_back(id);
    }
    return ids;
}

std::shared_ptr<DeviceActivity> IoManager::ActivityOfDevice(const DeviceObject* device) const {
    std::lock_guard guard(m_lock);
    for (const auto& [id, function] : m_functions) {
        if (TopOf(function->Pdo.get()) == device) {
            return function->Activity;
        }
    }
    return nullptr;
}

DeviceObject* IoManager::TopDevice(DeviceId id) const {
    DeviceObject* pdo = PhysicalDevice(id);
    return pdo == nullptr ? nullptr : TopOf(pdo);
}

DeviceObject* IoManager::PhysicalDevice(DeviceId id) const {
    std::lock_guard guard(m_lock);
    auto found = m_functions.find(id);
    return found == m_functions.end() ? nullptr : found->second->Pdo.get();
}

}  // namespace qorval::kernel
