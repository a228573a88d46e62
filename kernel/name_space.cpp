// The name space: device objects by name, and the symbolic links that point at them.
// Names are compared without regard to case.

#include <algorithm>
#include <cctype>

#include "kernel/io_manager.h"
#include "kernel/io_manager_records.h"

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

}  // namespace

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

}  // namespace qorval::kernel
