// Requests from the host: opening a handle, submitting reads, writes and device controls to
// the driver's dispatch routines, handing each completion back to its issuer exactly once,
// and closing; and the requests the manager sends itself (Plug and Play, power, create,
// cleanup and close).

#include <algorithm>

#include "kernel/io_manager.h"
#include "kernel/io_manager_records.h"
#include "kernel/sync.h"
#include "kernel/verifier.h"

namespace qorval::kernel {
namespace {

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

}  // namespace

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
    entry->Activity = ActivityOfDevice(device.get());
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

std::shared_ptr<DeviceActivity> IoManager::ActivityOf(Handle handle) const {
    const std::shared_ptr<HandleEntry> entry = FindHandle(handle);
    return entry ? entry->Activity : nullptr;
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

}  // namespace qorval::kernel
