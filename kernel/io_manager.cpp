#include "kernel/io_manager.h"

#include <algorithm>
#include <cctype>

#include "kernel/bus_driver.h"
#include "kernel/sync.h"
#include "kernel/verifier.h"

namespace qorval::kernel {
namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// "\\.\X" and "\??\X" are the user-mode and kernel forms of "\DosDevices\X".
std::string CanonicalName(const std::string& name) {
    static const std::string kDosDevices = "\\DosDevices\\";
    for (const char* prefix : {"\\\\.\\", "\\??\\"}) {
        const std::string p = prefix;
        if (name.compare(0, p.size(), p) == 0) {
            return kDosDevices + name.substr(p.size());
        }
    }
    return name;
}

// Checks the verifier's rules for a request whose dispatch routine has just returned to the
// one who issued it.
void CheckDispatchResult(const Irp& irp, NTSTATUS status) {
    if (status != STATUS_PENDING && irp.MarkedPending.load()) {
        Verifier::Report(
            "a request marked pending was returned with a status other than "
            "STATUS_PENDING");
    }
    if (status != STATUS_PENDING && !irp.Completed.load()) {
        Verifier::Report(
            "a request was neither completed nor marked pending when its dispatch "
            "routine returned");
    }
}

DeviceObject* TopOf(DeviceObject* device) {
    while (DeviceObject* above = device->AttachedDevice.load()) {
        device = above;
    }
    return device;
}

}  // namespace

struct IoManager::HandleEntry {
    Handle Id = 0;
    std::shared_ptr<DeviceObject> Device;
    std::unique_ptr<kernel::FileObject> File;
    std::map<RequestId, std::shared_ptr<Irp>> Outstanding;  // guarded by the manager's lock
    RequestId NextRequest = 1;
    bool Closing = false;
    std::condition_variable Drained;
};

struct IoManager::Function {
    std::shared_ptr<DeviceObject> Pdo;
    PhysicalDeviceInfo* Info = nullptr;  // the physical device object's extension
};

IoManager::IoManager() : m_busDriver(std::make_unique<DriverObject>()) {
    m_busDriver->Manager = this;
    InitialiseBusDriver(m_busDriver.get());
    m_worker = std::thread([this] { WorkerLoop(); });
}

IoManager::~IoManager() {
    UnloadDriver();
    {
        std::lock_guard guard(m_workLock);
        m_stopping = true;
    }
    m_workReady.notify_all();
    m_worker.join();
}

// ---- The driver ----

NTSTATUS IoManager::LoadDriver(const std::string& name, DriverEntryRoutine entry,
                               const std::string& registry_path) {
    if (m_driver) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    auto driver = std::make_unique<DriverObject>();
    driver->Manager = this;
    driver->Name = "\\Driver\\" + name;
    m_driver = std::move(driver);
    const NTSTATUS status = entry(m_driver.get(), registry_path);
    if (!wyvel32::NT_SUCCESS(status)) {
        m_driver.reset();
    }
    return status;
}

void IoManager::UnloadDriver() {
    RemoveAllDevices();
    FlushDpcs();
    if (m_driver && m_driver->DriverUnload != nullptr) {
        m_driver->DriverUnload(m_driver.get());
    }
    m_driver.reset();
}

void IoManager::RemoveAllDevices() {
    std::vector<Handle> handles;
    {
        std::lock_guard guard(m_lock);
        for (const auto& [id, entry] : m_handles) {
            handles.push_back(id);
        }
    }
    for (Handle handle : handles) {
        CancelIo(handle);
        CloseHandle(handle);
    }
    for (DeviceId id : Devices()) {
        RemoveDevice(id);
    }
}

// ---- Plug and Play ----

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
    return SendAndWait(top, std::move(irp));
}

namespace {
std::unique_ptr<Irp> PnpIrp(uint8_t minor) {
    auto irp = std::make_unique<Irp>(MajorFunction::Pnp, minor);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;  // what the PnP manager starts every request with
    return irp;
}
}  // namespace

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

DeviceObject* IoManager::TopDevice(DeviceId id) const {
    DeviceObject* pdo = PhysicalDevice(id);
    return pdo == nullptr ? nullptr : TopOf(pdo);
}

DeviceObject* IoManager::PhysicalDevice(DeviceId id) const {
    std::lock_guard guard(m_lock);
    auto found = m_functions.find(id);
    return found == m_functions.end() ? nullptr : found->second->Pdo.get();
}

// ---- Name space ----

NTSTATUS IoManager::RegisterDevice(const std::shared_ptr<DeviceObject>& device) {
    std::lock_guard guard(m_lock);
    if (!device->Name.empty()) {
        const std::string key = Upper(device->Name);
        if (m_devicesByName.count(key) != 0) {
            return STATUS_OBJECT_NAME_COLLISION;
        }
        m_devicesByName[key] = device;
    }
    m_devices.push_back(device);
    return STATUS_SUCCESS;
}

void IoManager::UnregisterDevice(DeviceObject* device) {
    std::lock_guard guard(m_lock);
    if (!device->Name.empty()) {
        m_devicesByName.erase(Upper(device->Name));
    }
    std::erase_if(m_devices, [device](const auto& held) { return held.get() == device; });
}

std::shared_ptr<DeviceObject> IoManager::Reference(DeviceObject* device) const {
    std::lock_guard guard(m_lock);
    for (const auto& held : m_devices) {
        if (held.get() == device) {
            return held;
        }
    }
    for (const auto& [id, entry] : m_handles) {
        if (entry->Device.get() == device) {
            return entry->Device;
        }
    }
    return nullptr;
}

NTSTATUS IoManager::CreateSymbolicLink(const std::string& link, const std::string& device_name) {
    std::lock_guard guard(m_lock);
    const std::string key = Upper(CanonicalName(link));
    if (m_links.count(key) != 0) {
        return STATUS_OBJECT_NAME_COLLISION;
    }
    m_links[key] = {CanonicalName(link), device_name};
    return STATUS_SUCCESS;
}

NTSTATUS IoManager::DeleteSymbolicLink(const std::string& link) {
    std::lock_guard guard(m_lock);
    return m_links.erase(Upper(CanonicalName(link))) != 0 ? STATUS_SUCCESS
                                                          : STATUS_OBJECT_NAME_NOT_FOUND;
}

std::vector<std::pair<std::string, std::string>> IoManager::SymbolicLinks() const {
    std::lock_guard guard(m_lock);
    std::vector<std::pair<std::string, std::string>> links;
    for (const auto& [key, value] : m_links) {
        links.push_back(value);
    }
    return links;
}

std::shared_ptr<DeviceObject> IoManager::FindDevice(const std::string& name) const {
    std::lock_guard guard(m_lock);
    std::string key = Upper(CanonicalName(name));
    if (auto link = m_links.find(key); link != m_links.end()) {
        key = Upper(link->second.second);
    }
    auto found = m_devicesByName.find(key);
    return found == m_devicesByName.end() ? nullptr : found->second;
}

// ---- Clients ----

NTSTATUS IoManager::Open(const std::string& name, uint32_t create_options, Handle* handle) {
    *handle = 0;
    std::shared_ptr<DeviceObject> device = FindDevice(name);
    if (!device) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if ((device->Flags.load() & DO_DEVICE_INITIALIZING) != 0) {
        return STATUS_NO_SUCH_DEVICE;
    }
    // An exclusive device takes one handle at a time; the count is taken before the driver
    // sees the create, so two racing opens cannot both pass.
    if ((device->Flags.load() & DO_EXCLUSIVE) != 0) {
        int32_t none = 0;
        if (!device->OpenCount.compare_exchange_strong(none, 1)) {
            return STATUS_ACCESS_DENIED;
        }
    } else {
        device->OpenCount.fetch_add(1);
    }
    auto entry = std::make_shared<HandleEntry>();
    entry->Device = device;
    entry->File = std::make_unique<kernel::FileObject>();
    entry->File->Device = device.get();
    entry->File->CreateOptions = create_options;

    auto irp = std::make_unique<Irp>(MajorFunction::Create, 0);
    irp->FileObject = entry->File.get();
    irp->Parameters.CreateOptions = create_options;
    const NTSTATUS status = SendAndWait(device.get(), std::move(irp));
    if (!wyvel32::NT_SUCCESS(status)) {
        device->OpenCount.fetch_sub(1);
        return status;
    }
    std::lock_guard guard(m_lock);
    entry->Id = m_nextHandle++;
    m_handles[entry->Id] = entry;
    *handle = entry->Id;
    return status;
}

std::shared_ptr<IoManager::HandleEntry> IoManager::FindHandle(Handle handle) const {
    std::lock_guard guard(m_lock);
    auto found = m_handles.find(handle);
    return found == m_handles.end() ? nullptr : found->second;
}

IoManager::RequestId IoManager::Submit(Handle handle, std::unique_ptr<Irp> irp, Completion done) {
    std::shared_ptr<HandleEntry> entry = FindHandle(handle);
    std::shared_ptr<Irp> request(std::move(irp));
    RequestId id = 0;
    {
        std::lock_guard guard(m_lock);
        if (entry && !entry->Closing) {
            id = entry->NextRequest++;
            entry->Outstanding[id] = request;
        }
    }
    if (id == 0) {
        done(STATUS_INVALID_HANDLE, 0, {});
        return 0;
    }
    request->FileObject = entry->File.get();
    request->OnFinished = [this, entry, id, done = std::move(done)](Irp& finished) {
        std::span<const uint8_t> output;
        if (finished.MajorFunction == MajorFunction::Read ||
            finished.MajorFunction == MajorFunction::DeviceControl) {
            size_t limit = finished.SystemBuffer.size();
            if (finished.MajorFunction == MajorFunction::DeviceControl) {
                limit = std::min<size_t>(limit, finished.Parameters.OutputBufferLength);
            }
            const size_t count =
                std::min<uint64_t>(finished.IoStatus.Information, static_cast<uint64_t>(limit));
            output = std::span<const uint8_t>(finished.SystemBuffer.data(), count);
        }
        done(finished.IoStatus.Status, finished.IoStatus.Information, output);
        std::lock_guard guard(m_lock);
        entry->Outstanding.erase(id);
        if (entry->Outstanding.empty()) {
            entry->Drained.notify_all();
        }
    };
    const NTSTATUS status = IoCallDriver(entry->Device.get(), request.get());
    CheckDispatchResult(*request, status);
    return id;
}

IoManager::RequestId IoManager::Read(Handle handle, uint32_t length, Completion done) {
    auto irp = std::make_unique<Irp>(MajorFunction::Read, 0);
    irp->Parameters.Length = length;
    irp->SystemBuffer.assign(length, 0);
    return Submit(handle, std::move(irp), std::move(done));
}

IoManager::RequestId IoManager::Write(Handle handle, std::span<const uint8_t> data,
                                      Completion done) {
    auto irp = std::make_unique<Irp>(MajorFunction::Write, 0);
    irp->Parameters.Length = static_cast<uint32_t>(data.size());
    irp->SystemBuffer.assign(data.begin(), data.end());
    return Submit(handle, std::move(irp), std::move(done));
}

IoManager::RequestId IoManager::DeviceControl(Handle handle, uint32_t code,
                                              std::span<const uint8_t> input,
                                              uint32_t output_length, Completion done) {
    auto irp = std::make_unique<Irp>(MajorFunction::DeviceControl, 0);
    irp->Parameters.IoControlCode = code;
    irp->Parameters.InputBufferLength = static_cast<uint32_t>(input.size());
    irp->Parameters.OutputBufferLength = output_length;
    irp->SystemBuffer.assign(std::max<size_t>(input.size(), output_length), 0);
    std::copy(input.begin(), input.end(), irp->SystemBuffer.begin());
    return Submit(handle, std::move(irp), std::move(done));
}

bool IoManager::CancelRequest(Handle handle, RequestId request) {
    std::shared_ptr<Irp> irp;
    {
        std::lock_guard guard(m_lock);
        auto entry = m_handles.find(handle);
        if (entry == m_handles.end()) {
            return false;
        }
        auto found = entry->second->Outstanding.find(request);
        if (found == entry->second->Outstanding.end()) {
            return false;
        }
        irp = found->second;  // keeps the record alive while it is cancelled
    }
    IoCancelIrp(irp.get());
    return true;
}

void IoManager::CancelIo(Handle handle) {
    std::vector<std::shared_ptr<Irp>> irps;
    {
        std::lock_guard guard(m_lock);
        auto entry = m_handles.find(handle);
        if (entry == m_handles.end()) {
            return;
        }
        for (const auto& [id, irp] : entry->second->Outstanding) {
            irps.push_back(irp);
        }
    }
    for (const auto& irp : irps) {
        IoCancelIrp(irp.get());
    }
}

NTSTATUS IoManager::CloseHandle(Handle handle) {
    std::shared_ptr<HandleEntry> entry;
    {
        std::lock_guard guard(m_lock);
        auto found = m_handles.find(handle);
        if (found == m_handles.end() || found->second->Closing) {
            return STATUS_INVALID_HANDLE;
        }
        entry = found->second;
        entry->Closing = true;  // no new requests from here on
    }
    auto cleanup = std::make_unique<Irp>(MajorFunction::Cleanup, 0);
    cleanup->FileObject = entry->File.get();
    SendAndWait(entry->Device.get(), std::move(cleanup));
    {
        // The close request comes when the file object's last request is done, as the
        // kernel sends it when the last reference to the file object goes.
        std::unique_lock lock(m_lock);
        entry->Drained.wait(lock, [&] { return entry->Outstanding.empty(); });
    }
    auto close = std::make_unique<Irp>(MajorFunction::Close, 0);
    close->FileObject = entry->File.get();
    const NTSTATUS status = SendAndWait(entry->Device.get(), std::move(close));
    {
        std::lock_guard guard(m_lock);
        m_handles.erase(handle);
    }
    entry->Device->OpenCount.fetch_sub(1);
    return status;
}

size_t IoManager::OutstandingRequests(Handle handle) const {
    std::lock_guard guard(m_lock);
    auto found = m_handles.find(handle);
    return found == m_handles.end() ? 0 : found->second->Outstanding.size();
}

NTSTATUS IoManager::SendAndWait(DeviceObject* device, std::unique_ptr<Irp> irp) {
    std::shared_ptr<DeviceObject> keep = Reference(device);
    std::shared_ptr<Irp> request(std::move(irp));
    KEvent done(KEvent::Type::Notification, false);
    request->OnFinished = [&done](Irp&) { done.Set(); };
    const NTSTATUS status = IoCallDriver(device, request.get());
    CheckDispatchResult(*request, status);
    done.Wait();
    return request->IoStatus.Status;
}

void IoManager::SendAsync(DeviceObject* device, std::unique_ptr<Irp> irp,
                          std::function<void(Irp&)> finished) {
    std::shared_ptr<DeviceObject> keep = Reference(device);
    std::shared_ptr<Irp> request(std::move(irp));
    request->OnFinished = [request, finished = std::move(finished)](Irp& done) mutable {
        finished(done);
        request.reset();  // the record's own reference; it goes with this function
    };
    const NTSTATUS status = IoCallDriver(device, request.get());
    CheckDispatchResult(*request, status);
}

// ---- Interrupts and DPCs ----

void IoManager::ConnectInterrupt(std::shared_ptr<KInterrupt> interrupt) {
    std::lock_guard guard(m_lock);
    m_interrupts.push_back(std::move(interrupt));
}

void IoManager::DisconnectInterrupt(KInterrupt* interrupt) {
    std::lock_guard guard(m_lock);
    std::erase_if(m_interrupts, [interrupt](const auto& held) { return held.get() == interrupt; });
}

size_t IoManager::ConnectedInterrupts() const {
    std::lock_guard guard(m_lock);
    return m_interrupts.size();
}

SharedInterruptLock* IoManager::InterruptLockOf(uint32_t vector) const {
    std::lock_guard guard(m_lock);
    for (const auto& [id, function] : m_functions) {
        const PhysicalDeviceInfo* info = function->Info;
        if (info == nullptr || info->InterruptLock == nullptr || !info->TranslatedResources) {
            continue;
        }
        for (const ResourceDescriptor& resource : *info->TranslatedResources) {
            if (resource.type == ResourceDescriptor::Type::Interrupt && resource.vector == vector) {
                return info->InterruptLock;
            }
        }
    }
    return nullptr;
}

bool IoManager::DeliverInterrupt(uint32_t vector) {
    const bool claimed = RaiseInterrupt(vector);
    RunQueuedDpcs();
    return claimed;
}

bool IoManager::RaiseInterrupt(uint32_t vector) {
    std::vector<std::shared_ptr<KInterrupt>> targets;
    {
        std::lock_guard guard(m_lock);
        for (const auto& interrupt : m_interrupts) {
            if (interrupt->Vector == vector) {
                targets.push_back(interrupt);
            }
        }
    }
    bool claimed = false;
    for (const auto& interrupt : targets) {
        claimed = interrupt->Service() || claimed;
    }
    return claimed;
}

void IoManager::RunQueuedDpcs() {
    // Back below device level: run the DPCs the service routines queued.
    for (;;) {
        KDpc* dpc = nullptr;
        {
            std::lock_guard guard(m_dpcLock);
            if (m_dpcs.empty()) {
                break;
            }
            dpc = m_dpcs.front();
            m_dpcs.pop_front();
            ++m_dpcsRunning;
        }
        dpc->Queued.store(false);  // may be queued again while it runs
        dpc->DeferredRoutine(dpc, dpc->DeferredContext);
        {
            std::lock_guard guard(m_dpcLock);
            --m_dpcsRunning;
        }
        m_dpcIdle.notify_all();
    }
}

bool IoManager::QueueDpc(KDpc* dpc) {
    bool expected = false;
    if (!dpc->Queued.compare_exchange_strong(expected, true)) {
        return false;
    }
    std::lock_guard guard(m_dpcLock);
    m_dpcs.push_back(dpc);
    return true;
}

void IoManager::FlushDpcs() {
    std::unique_lock lock(m_dpcLock);
    m_dpcIdle.wait(lock, [this] { return m_dpcs.empty() && m_dpcsRunning == 0; });
}

// ---- Device memory ----

wyvel32::Hardware* IoManager::MapIoSpace(uint64_t physical, uint32_t length) {
    std::lock_guard guard(m_lock);
    for (const auto& [id, function] : m_functions) {
        const PhysicalDeviceInfo& info = *function->Info;
        if (!info.TranslatedResources || info.Hardware == nullptr) {
            continue;
        }
        for (const ResourceDescriptor& range : *info.TranslatedResources) {
            if (range.type == ResourceDescriptor::Type::Memory && physical >= range.start &&
                physical + length <= range.start + range.length) {
                m_mapped.fetch_add(1);
                return info.Hardware;
            }
        }
    }
    return nullptr;
}

void IoManager::UnmapIoSpace(wyvel32::Hardware* mapped, uint32_t length) {
    (void)length;
    if (mapped != nullptr) {
        m_mapped.fetch_sub(1);
    }
}

// ---- Error log ----

void IoManager::WriteErrorLogEntry(ErrorLogEntry entry) {
    std::function<void(const ErrorLogEntry&)> sink;
    {
        std::lock_guard guard(m_lock);
        sink = m_errorSink;
    }
    if (sink) {
        sink(entry);
    }
}

void IoManager::SetErrorLogSink(std::function<void(const ErrorLogEntry&)> sink) {
    std::lock_guard guard(m_lock);
    m_errorSink = std::move(sink);
}

// ---- Worker thread ----

void IoManager::QueueWork(std::function<void()> work) {
    {
        std::lock_guard guard(m_workLock);
        m_work.push_back(std::move(work));
    }
    m_workReady.notify_one();
}

void IoManager::WorkerLoop() {
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(m_workLock);
            m_workReady.wait(lock, [this] { return m_stopping || !m_work.empty(); });
            if (m_work.empty()) {
                return;  // stopping, and nothing left to run
            }
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
    }
}

}  // namespace qorval::kernel
