#include "host/protocol/ring_region.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/protocol/descriptor_passing.h"

namespace qorval::protocol::ring {

namespace {

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// A wake channel: one end stays with the maker, the other goes to the other side.
bool MakeChannel(int& mine, int& theirs) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pair) != 0) {
        return false;
    }
    mine = pair[0];
    theirs = pair[1];
    return true;
}

void* Map(int fd) {
    void* base = ::mmap(nullptr, kRegionSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return base == MAP_FAILED ? nullptr : base;
}

}  // namespace

RingRegion::~RingRegion() {
    if (base_ != nullptr) {
        ::munmap(base_, kRegionSize);
    }
    CloseIfOpen(memory_);
    CloseIfOpen(host_wake_);
    for (int& fd : slot_wake_) {
        CloseIfOpen(fd);
    }
    ForgetClientDescriptors();
}

std::unique_ptr<RingRegion> RingRegion::Create(std::string* error) {
    std::unique_ptr<RingRegion> region(new RingRegion());
    region->memory_ = ::memfd_create("qorval-ring", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (region->memory_ < 0 || ::ftruncate(region->memory_, kRegionSize) != 0 ||
        ::fcntl(region->memory_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
        *error = std::string("ring memory: ") + std::strerror(errno);
        return nullptr;
    }
    region->base_ = Map(region->memory_);
    if (region->base_ == nullptr) {
        *error = std::string("ring mapping: ") + std::strerror(errno);
        return nullptr;
    }
    bool channels = MakeChannel(region->host_wake_, region->client_host_wake_);
    for (uint32_t slot = 0; channels && slot < kSlots; ++slot) {
        channels = MakeChannel(region->slot_wake_[slot], region->client_slot_wake_[slot]);
    }
    if (!channels) {
        *error = std::string("ring wake channels: ") + std::strerror(errno);
        return nullptr;
    }
    return region;
}

std::vector<int> RingRegion::ClientDescriptors() const {
    std::vector<int> out{memory_, client_host_wake_};
    out.insert(out.end(), client_slot_wake_.begin(), client_slot_wake_.end());
    return out;
}

void RingRegion::ForgetClientDescriptors() {
    CloseIfOpen(memory_);  // the mapping keeps the memory
    CloseIfOpen(client_host_wake_);
    for (int& fd : client_slot_wake_) {
        CloseIfOpen(fd);
    }
}

std::unique_ptr<RingRegion> RingRegion::Adopt(std::vector<int> descriptors, std::string* error) {
    std::unique_ptr<RingRegion> region(new RingRegion());
    if (descriptors.size() != kDescriptorCount) {
        *error = "ring handed over with the wrong number of descriptors";
        CloseAll(descriptors);
        return nullptr;
    }
    region->memory_ = descriptors[kMemoryDescriptor];
    region->host_wake_ = descriptors[kHostWakeDescriptor];
    for (uint32_t slot = 0; slot < kSlots; ++slot) {
        region->slot_wake_[slot] = descriptors[kFirstSlotWakeDescriptor + slot];
    }
    // Sealed against shrinking, or a mapping of it could fault.
    struct stat info {};
    const int seals = ::fcntl(region->memory_, F_GET_SEALS);
    if (::fstat(region->memory_, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<size_t>(info.st_size) != kRegionSize || seals < 0 ||
        (seals & F_SEAL_SHRINK) == 0) {
        *error = "ring memory is not a sealed file of the ring's size";
        return nullptr;
    }
    region->base_ = Map(region->memory_);
    if (region->base_ == nullptr) {
        *error = std::string("ring mapping: ") + std::strerror(errno);
        return nullptr;
    }
    CloseIfOpen(region->memory_);  // the mapping keeps the memory
    return region;
}

}  // namespace qorval::protocol::ring
