// The I/O manager itself: its life, the driver's load and unload, device memory, the error
// log and the system worker thread. The requests, Plug and Play, the name space, interrupt
// delivery and cancel have files of their own.

#include "kernel/io_manager.h"

#include "kernel/bus_driver.h"
#include "kernel/io_manager_records.h"

namespace qorval::kernel {

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
