// Registry store: a hierarchical key/value store standing in for the HKEY_LOCAL_MACHINE hive.
//
// A Registry either lives in memory only (tests) or is backed by one REGEDIT4 text file that
// several processes share. Every mutation is written through at once under an advisory lock;
// every read picks up what another process wrote since. Key and value names match without
// regard to case and keep the case they were created with.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace qorval::platform {

enum : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7
};

enum class RegStatus { Ok, NotFound, WrongType, Corrupt, IoError, InvalidArgument };

struct RegResult {
    RegStatus status = RegStatus::Ok;
    std::string message;
    bool ok() const { return status == RegStatus::Ok; }
};

// REG_SZ / REG_EXPAND_SZ data: the 8-bit text without terminator. REG_DWORD: 4 bytes
// little-endian.
struct RegValue {
    std::string name;
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
};

class Registry {
  public:
    // Lives in memory only (tests).
    Registry();
    // Backed by a REGEDIT4 file; it need not exist yet (a missing file is an empty registry).
    // A change waits at most `lock_wait` for another writer's lock, then fails with IoError.
    explicit Registry(std::filesystem::path file, std::chrono::milliseconds lock_wait = kLockWait);
    ~Registry();
    Registry(Registry&&) noexcept;
    Registry& operator=(Registry&&) noexcept;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Key paths are backslash-separated below HKEY_LOCAL_MACHINE; "System\X",
    // "HKEY_LOCAL_MACHINE\System\X" and "\Registry\Machine\System\X" name the same key.

    // Open-if-exists; creates missing parents.
    [[nodiscard]] RegResult CreateKey(std::string_view key);
    [[nodiscard]] bool KeyExists(std::string_view key);
    // Deletes the key with all its subkeys; NotFound when absent.
    [[nodiscard]] RegResult DeleteKey(std::string_view key);
    // Subkeys are kept in name order (without regard to case); the name is returned as stored.
    [[nodiscard]] std::optional<std::string> EnumSubkey(std::string_view key, uint32_t index);
    // In stored order.
    [[nodiscard]] std::vector<std::string> ValueNames(std::string_view key);
    [[nodiscard]] RegResult QueryValue(std::string_view key, std::string_view name, RegValue& out);
    // WrongType unless REG_DWORD of 4 bytes.
    [[nodiscard]] RegResult QueryDword(std::string_view key, std::string_view name, uint32_t& out);
    // WrongType unless REG_SZ/REG_EXPAND_SZ; the text ends at the first zero byte, if any.
    [[nodiscard]] RegResult QueryString(std::string_view key, std::string_view name,
                                        std::string& out);
    // NotFound when the key does not exist. For REG_SZ/REG_EXPAND_SZ one trailing zero byte
    // (a terminator passed by the caller) is dropped.
    [[nodiscard]] RegResult SetValue(std::string_view key, std::string_view name, uint32_t type,
                                     std::span<const uint8_t> data);
    [[nodiscard]] RegResult SetDword(std::string_view key, std::string_view name, uint32_t value);
    [[nodiscard]] RegResult SetString(std::string_view key, std::string_view name,
                                      std::string_view value);
    [[nodiscard]] RegResult DeleteValue(std::string_view key, std::string_view name);
    // Writes are already on disk when a mutation returns; Flush reports the state of the store
    // (Corrupt or IoError when the file cannot be used).
    [[nodiscard]] RegResult Flush();

    // Runs `edit` on a private in-memory copy of the store, under the file lock, and writes
    // what it changed with one atomic rewrite of the file: either every change of `edit`
    // reaches the file or none does. `edit` must use only the registry it is given (this one
    // is locked meanwhile). A result of `edit` that is not Ok discards its changes and is
    // returned; so is a damaged or unwritable file.
    [[nodiscard]] RegResult Transact(const std::function<RegResult(Registry& batch)>& edit);

    // Makes `copy` an in-memory registry holding this store's current tree, so that changes can
    // be tried out on it without touching the file. Fails (leaving `copy` alone) when the file
    // cannot be read.
    [[nodiscard]] RegResult Snapshot(Registry& copy);
    // The current tree as the file holds it (REGEDIT4 text), so two states can be compared.
    [[nodiscard]] RegResult ExportText(std::string& text);

    // The latest Corrupt or IoError result of any call since the last time it was taken, and
    // forgets it, so a caller that only saw a failed status (the driver) can say why.
    [[nodiscard]] std::optional<RegResult> TakeFileFailure();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qorval::platform
