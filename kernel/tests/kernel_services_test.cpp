// Events, interrupts and DPCs, work items, Plug and Play and power passing, bus properties
// and device memory mapping.

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/power.h"
#include "kernel/sync.h"
#include "kernel/tests/kernel_fixture.h"
#include "kernel/work_item.h"

namespace qorval::kernel::testing {
namespace {

TEST(KernelEvents, SynchronizationEventReleasesOneWaitNotificationStaysSet) {
    KEvent autoReset(KEvent::Type::Synchronization, true);
    autoReset.Wait();
    EXPECT_FALSE(autoReset.IsSet());
    EXPECT_FALSE(autoReset.WaitFor(std::chrono::milliseconds(1)));

    KEvent notification(KEvent::Type::Notification, false);
    std::thread setter([&] { notification.Set(); });
    notification.Wait();
    setter.join();
    EXPECT_TRUE(notification.IsSet());
    EXPECT_TRUE(notification.Reset());
    EXPECT_FALSE(notification.IsSet());
}

struct IsrState {
    KInterrupt* interrupt = nullptr;
    KDpc* dpc = nullptr;
    int serviced = 0;
    int dpcRuns = 0;
    bool lockHeldInDpc = true;
    bool claim = true;
};

bool CountingIsr(KInterrupt*, void* context) {
    auto* state = static_cast<IsrState*>(context);
    ++state->serviced;
    KeInsertQueueDpc(state->interrupt->Manager, state->dpc);
    KeInsertQueueDpc(state->interrupt->Manager, state->dpc);  // queued once only
    return state->claim;
}

void CountingDpc(KDpc*, void* context) {
    auto* state = static_cast<IsrState*>(context);
    ++state->dpcRuns;
    // The DPC runs after the service routine has let go of the interrupt lock.
    state->lockHeldInDpc = !KeSynchronizeExecution(state->interrupt, [] { return true; });
}

TEST(KernelInterrupts, ServiceRoutineRunsThenItsDpcUntilDisconnected) {
    IoManager kernel;
    IsrState state;
    KDpc dpc(CountingDpc, &state);
    state.dpc = &dpc;
    ASSERT_EQ(
        IoConnectInterrupt(kernel, &state.interrupt, CountingIsr, &state, 9, 9, 1, true, true),
        STATUS_SUCCESS);
    EXPECT_TRUE(kernel.DeliverInterrupt(9));
    EXPECT_FALSE(kernel.DeliverInterrupt(10));  // nobody on that vector
    EXPECT_EQ(state.serviced, 1);
    EXPECT_EQ(state.dpcRuns, 1);
    EXPECT_FALSE(state.lockHeldInDpc);
    state.claim = false;
    EXPECT_FALSE(kernel.DeliverInterrupt(9));  // shared line, not ours
    IoDisconnectInterrupt(state.interrupt);
    EXPECT_EQ(kernel.ConnectedInterrupts(), 0u);
    EXPECT_FALSE(kernel.DeliverInterrupt(9));
    EXPECT_EQ(state.serviced, 2);
    KeFlushQueuedDpcs(kernel);
}

// ---- What watchers of a function's activity hear, and when ----

// Everything in one log, in the order it happened: what the watcher was told, and the runs of
// the service routine and its DPC.
struct ActivityLog : DeviceActivity::Watcher {
    std::mutex lock;
    std::vector<std::string> entries;
    KInterrupt* interrupt = nullptr;
    KDpc* dpc = nullptr;

    void Add(std::string entry) {
        std::lock_guard guard(lock);
        entries.push_back(std::move(entry));
    }
    void Unsettled(DeviceActivity::Cause cause, uint64_t run) override {
        Add(cause == DeviceActivity::Cause::Interrupt ? "unsettled " + std::to_string(run)
                                                      : "unsettled by a request");
    }
    void Settled(DeviceActivity::Cause cause, uint64_t run) override {
        Add(cause == DeviceActivity::Cause::Interrupt ? "settled " + std::to_string(run)
                                                      : "settled by a request");
    }
};

bool LoggingIsr(KInterrupt*, void* context) {
    auto* log = static_cast<ActivityLog*>(context);
    log->Add("routine");
    KeInsertQueueDpc(log->interrupt->Manager, log->dpc);
    return true;
}

void LoggingDpc(KDpc*, void* context) {
    static_cast<ActivityLog*>(context)->Add("dpc");
}

TEST(KernelActivity, WatchersHearOfEachServiceRunBeforeItAndOfItsEndAfterItsDpc) {
    IoManager kernel;
    ASSERT_EQ(kernel.LoadDriver("Test", TestDriverEntry, "\\Registry\\Test"), STATUS_SUCCESS);
    PhysicalDeviceInfo info;
    info.TranslatedResources = ResourceList{ResourceDescriptor::Interrupt(9, 9, 1)};
    IoManager::DeviceId function = 0;
    ASSERT_EQ(kernel.AddPhysicalDevice(info, &function), STATUS_SUCCESS);
    const auto activities = kernel.ActivitiesOfVector(9);
    ASSERT_EQ(activities.size(), 1u);
    EXPECT_TRUE(kernel.ActivitiesOfVector(10).empty());
    auto log = std::make_shared<ActivityLog>();
    activities[0]->AddWatcher(log);
    KDpc dpc(LoggingDpc, log.get());
    log->dpc = &dpc;
    ASSERT_EQ(IoConnectInterrupt(kernel, &log->interrupt, LoggingIsr, log.get(), 9, 9, 1, true,
                                 true),
              STATUS_SUCCESS);
    EXPECT_TRUE(kernel.DeliverInterrupt(9));
    EXPECT_TRUE(kernel.DeliverInterrupt(9));
    activities[0]->RemoveWatcher(log.get());
    EXPECT_TRUE(kernel.DeliverInterrupt(9));
    IoDisconnectInterrupt(log->interrupt);
    KeFlushQueuedDpcs(kernel);
    EXPECT_EQ(log->entries,
              (std::vector<std::string>{"unsettled 1", "routine", "dpc", "settled 1",
                                        "unsettled 2", "routine", "dpc", "settled 2", "routine",
                                        "dpc"}));
}

using KernelServices = KernelTest;

TEST_F(KernelServices, WatchersHearOfPlugAndPlayRequestsAroundThem) {
    const IoManager::Handle handle = OpenTest();
    const std::shared_ptr<DeviceActivity> activity = kernel.ActivityOf(handle);
    ASSERT_NE(activity, nullptr);
    auto log = std::make_shared<ActivityLog>();
    activity->AddWatcher(log);
    EXPECT_EQ(kernel.SendPnp(function, IRP_MN_QUERY_CAPABILITIES), STATUS_SUCCESS);
    EXPECT_EQ(log->entries,
              (std::vector<std::string>{"unsettled by a request", "settled by a request"}));
    activity->RemoveWatcher(log.get());
    EXPECT_EQ(kernel.CloseHandle(handle), STATUS_SUCCESS);
}

void SignalFromWorker(DeviceObject* device, void* context) {
    static_cast<std::pair<KEvent*, DeviceObject*>*>(context)->second = device;
    static_cast<std::pair<KEvent*, DeviceObject*>*>(context)->first->Set();
}

TEST_F(KernelServices, WorkItemRunsOnTheWorkerThreadWithItsDevice) {
    DeviceObject* device = kernel.TopDevice(function);
    KEvent ran(KEvent::Type::Notification, false);
    std::pair<KEvent*, DeviceObject*> context{&ran, nullptr};
    IoWorkItem* item = IoAllocateWorkItem(device);
    IoQueueWorkItem(item, SignalFromWorker, &context);
    ASSERT_TRUE(ran.WaitFor(std::chrono::seconds(20)));
    EXPECT_EQ(context.second, device);
    IoFreeWorkItem(item);
}

TEST_F(KernelServices, PlugAndPlayAndPowerReachTheBusAndComeBack) {
    EXPECT_EQ(kernel.SendPnp(function, IRP_MN_QUERY_CAPABILITIES), STATUS_SUCCESS);
    // A minor the bus does not handle keeps the status the request started with.
    EXPECT_EQ(kernel.SendPnp(function, IRP_MN_QUERY_RESOURCES), STATUS_NOT_SUPPORTED);
    const uint64_t started = kernel.PowerRequestsStarted();
    EXPECT_EQ(kernel.SendDevicePower(function, IRP_MN_SET_POWER, DevicePowerState::D3),
              STATUS_SUCCESS);
    EXPECT_EQ(kernel.PowerRequestsStarted(), started + 2);  // driver and bus
    EXPECT_EQ(kernel.StartDevice(999), STATUS_NO_SUCH_DEVICE);
}

TEST_F(KernelServices, RemovalDeletesTheDeviceButNotAnOpenHandlesObject) {
    const IoManager::Handle handle = OpenTest();
    EXPECT_EQ(kernel.RemoveDevice(function), STATUS_SUCCESS);
    EXPECT_TRUE(kernel.Devices().empty());
    EXPECT_TRUE(kernel.SymbolicLinks().empty());
    IoManager::Handle other = 0;
    EXPECT_EQ(kernel.Open(kTestLinkName, 0, &other), STATUS_OBJECT_NAME_NOT_FOUND);
    EXPECT_EQ(kernel.CloseHandle(handle), STATUS_SUCCESS);  // the object outlived its name
}

TEST(KernelBus, PropertiesAndMappingComeFromTheFunctionsResources) {
    IoManager kernel;
    PhysicalDeviceInfo info;
    info.BusNumber = 3;
    info.DeviceNumber = 0x12;
    info.FunctionNumber = 1;
    auto* marker = reinterpret_cast<wyvel32::Hardware*>(&info);  // only compared, never used
    info.Hardware = marker;
    info.TranslatedResources = ResourceList{ResourceDescriptor::MemoryRange(0xF0000000, 0x4000)};
    IoManager::DeviceId id = 0;
    EXPECT_EQ(kernel.AddPhysicalDevice(info, &id), STATUS_NO_SUCH_DEVICE);  // no driver loaded
    uint32_t value = 0;
    ASSERT_EQ(IoGetDeviceProperty(kernel.PhysicalDevice(id), DeviceProperty::BusNumber, &value),
              STATUS_SUCCESS);
    EXPECT_EQ(value, 3u);
    ASSERT_EQ(IoGetDeviceProperty(kernel.PhysicalDevice(id), DeviceProperty::Address, &value),
              STATUS_SUCCESS);
    EXPECT_EQ(value, 0x00120001u);

    EXPECT_EQ(MmMapIoSpace(kernel, 0xF0001000, 0x100), marker);
    EXPECT_EQ(MmMapIoSpace(kernel, 0xF0003F00, 0x200), nullptr);  // runs past the range
    EXPECT_EQ(kernel.MappedRanges(), 1);
    MmUnmapIoSpace(kernel, marker, 0x100);
    EXPECT_EQ(kernel.MappedRanges(), 0);
}

}  // namespace
}  // namespace qorval::kernel::testing
