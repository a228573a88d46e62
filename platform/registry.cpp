#include "platform/registry.h"

#include <mutex>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/reg_file_format.h"
#include "platform/reg_key_path.h"
#include "platform/reg_tree.h"

namespace qorval::platform {
namespace {

// A registry file larger than this is refused as damaged rather than read into memory.
constexpr size_t kMaxRegFileSize = 64 * 1024 * 1024;

constexpr std::string_view kMsgKeyNotFound = "key not found: ";
constexpr std::string_view kMsgValueNotFound = "value not found: ";
constexpr std::string_view kMsgNotDword = "not a REG_DWORD of 4 bytes: ";
constexpr std::string_view kMsgNotString = "not a REG_SZ or REG_EXPAND_SZ: ";
constexpr std::string_view kMsgValueTooLarge = "value larger than 1 MiB: ";
constexpr std::string_view kMsgRootKey = "the root key cannot be deleted";
constexpr std::string_view kMsgBadKeyPath = "bad key path \"";
constexpr std::string_view kMsgFileTooLarge = ": file larger than 64 MiB";

RegResult Result(RegStatus status, std::string message) {
    return {status, std::move(message)};
}

std::string Join(std::string_view key, std::string_view name) {
    std::string out(key);
    out += "\\";
    out += name.empty() ? std::string_view("@") : name;
    return out;
}

// A key path split into its names, with the verdict on its form.
struct KeyPath {
    std::vector<std::string_view> names;
    RegResult verdict;

    explicit KeyPath(std::string_view path) {
        std::string error;
        if (!SplitKeyPath(path, names, error)) {
            verdict = Result(RegStatus::InvalidArgument,
                             std::string(kMsgBadKeyPath) + std::string(path) + "\": " + error);
        }
    }
};

template <class Key>
Key* Walk(Key& root, const std::vector<std::string_view>& names) {
    Key* key = &root;
    for (auto name : names) {
        key = FindSubkey(*key, name);
        if (key == nullptr) {
            return nullptr;
        }
    }
    return key;
}

}  // namespace

struct Registry::Impl {
    std::mutex mutex;  // guards everything below; the host calls in from several threads
    std::optional<std::filesystem::path> file;
    std::chrono::milliseconds lock_wait = kLockWait;
    RegKey root;
    // The bytes the tree was last parsed from or written to; a read compares the file with
    // them, so a change by another process is seen even when inode, size and time repeat.
    std::string loaded_bytes;
    bool loaded = false;
    // Not Ok while the file cannot be used (damaged, unreadable): every operation reports it.
    RegResult file_state;
    // The latest failure of the file, kept until TakeFileFailure.
    std::optional<RegResult> last_failure;

    RegResult Note(RegResult result) {
        if (result.status == RegStatus::Corrupt || result.status == RegStatus::IoError) {
            last_failure = result;
        }
        return result;
    }

    // Brings the tree up to date with the file. Called with the mutex held.
    RegResult Refresh() { return Note(RefreshTree()); }

    RegResult RefreshTree() {
        if (!file) {
            return {};
        }
        std::string bytes;
        std::string error;
        switch (ReadWholeFile(*file, kMaxRegFileSize, bytes, error)) {
            case FileReadStatus::Ok:
            case FileReadStatus::Missing:
                break;
            case FileReadStatus::TooLarge:
                loaded = false;
                return file_state = Result(RegStatus::Corrupt,
                                           file->string() + std::string(kMsgFileTooLarge));
            case FileReadStatus::Error:
                loaded = false;
                return file_state = Result(RegStatus::IoError, error);
        }
        if (loaded && bytes == loaded_bytes) {
            return file_state;
        }
        loaded_bytes = std::move(bytes);
        loaded = true;
        file_state = {};
        if (loaded_bytes.empty()) {  // a missing or empty file is an empty registry
            root = RegKey{};
            return file_state;
        }
        RegParseError parse_error;
        RegKey parsed;
        if (!ParseRegFile(loaded_bytes, parsed, parse_error)) {
            root = RegKey{};
            return file_state = Result(RegStatus::Corrupt, file->string() + ":" +
                                                               std::to_string(parse_error.line) +
                                                               ": " + parse_error.what);
        }
        root = std::move(parsed);
        return file_state;
    }

    // Runs a read-only step on the current tree.
    template <class Step>
    auto Read(Step step) {
        std::lock_guard guard(mutex);
        const RegResult state = Refresh();
        return step(state, static_cast<const RegKey&>(root));
    }

    // Runs a change under the file lock on the current tree and writes the result through.
    // `change` returns its verdict and sets `changed` when it altered the tree.
    template <class Change>
    RegResult Mutate(Change change) {
        std::lock_guard guard(mutex);
        std::optional<FileLock> lock;
        if (file) {
            std::string error;
            lock = FileLock::Acquire(*file, error, lock_wait);
            if (!lock) {
                return Note(Result(RegStatus::IoError, error));
            }
        }
        if (RegResult state = Refresh(); !state.ok()) {
            return state;  // never overwrite a file we could not read
        }
        bool changed = false;
        RegResult verdict = change(root, changed);
        if (!verdict.ok() || !changed || !file) {
            return verdict;
        }
        std::string text = WriteRegFile(root);
        std::string error;
        if (!WriteFileAtomically(*file, text, error)) {
            loaded = false;  // the tree is ahead of the file: re-read it next time
            return Note(Result(RegStatus::IoError, error));
        }
        loaded_bytes = std::move(text);
        return verdict;
    }
};

Registry::Registry() : impl_(std::make_unique<Impl>()) {}

Registry::Registry(std::filesystem::path file, std::chrono::milliseconds lock_wait)
    : impl_(std::make_unique<Impl>()) {
    impl_->file = std::move(file);
    impl_->lock_wait = lock_wait;
}

Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;

RegResult Registry::CreateKey(std::string_view key) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return path.verdict;
    }
    return impl_->Mutate([&](RegKey& root, bool& changed) {
        RegKey* at = &root;
        for (auto name : path.names) {
            bool created = false;
            at = &AddSubkey(*at, name, &created);
            changed = changed || created;
        }
        return RegResult{};
    });
}

bool Registry::KeyExists(std::string_view key) {
    KeyPath path(key);
    return path.verdict.ok() && impl_->Read([&](const RegResult& state, const RegKey& root) {
        return state.ok() && Walk(root, path.names) != nullptr;
    });
}

RegResult Registry::DeleteKey(std::string_view key) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return path.verdict;
    }
    if (path.names.empty()) {
        return Result(RegStatus::InvalidArgument, std::string(kMsgRootKey));
    }
    const std::string_view last = path.names.back();
    path.names.pop_back();
    return impl_->Mutate([&](RegKey& root, bool& changed) {
        RegKey* parent = Walk(root, path.names);
        changed = parent != nullptr && RemoveSubkey(*parent, last);
        return changed
                   ? RegResult{}
                   : Result(RegStatus::NotFound, std::string(kMsgKeyNotFound) + std::string(key));
    });
}

std::optional<std::string> Registry::EnumSubkey(std::string_view key, uint32_t index) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return std::nullopt;
    }
    return impl_->Read(
        [&](const RegResult& state, const RegKey& root) -> std::optional<std::string> {
            const RegKey* at = state.ok() ? Walk(root, path.names) : nullptr;
            if (at == nullptr || index >= at->subkeys.size()) {
                return std::nullopt;
            }
            return at->subkeys[index].name;
        });
}

std::vector<std::string> Registry::ValueNames(std::string_view key) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return {};
    }
    return impl_->Read([&](const RegResult& state, const RegKey& root) {
        std::vector<std::string> names;
        const RegKey* at = state.ok() ? Walk(root, path.names) : nullptr;
        if (at != nullptr) {
            for (const auto& value : at->values) {
                names.push_back(value.name);
            }
        }
        return names;
    });
}

RegResult Registry::QueryValue(std::string_view key, std::string_view name, RegValue& out) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return path.verdict;
    }
    return impl_->Read([&](const RegResult& state, const RegKey& root) {
        if (!state.ok()) {
            return state;
        }
        const RegKey* at = Walk(root, path.names);
        if (at == nullptr) {
            return Result(RegStatus::NotFound, std::string(kMsgKeyNotFound) + std::string(key));
        }
        const RegValue* value = FindValue(*at, name);
        if (value == nullptr) {
            return Result(RegStatus::NotFound, std::string(kMsgValueNotFound) + Join(key, name));
        }
        out = *value;
        return RegResult{};
    });
}

RegResult Registry::QueryDword(std::string_view key, std::string_view name, uint32_t& out) {
    RegValue value;
    RegResult result = QueryValue(key, name, value);
    if (!result.ok()) {
        return result;
    }
    if (value.type != REG_DWORD || value.data.size() != 4) {
        return Result(RegStatus::WrongType, std::string(kMsgNotDword) + Join(key, name));
    }
    out = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
          (static_cast<uint32_t>(value.data[3]) << 24);
    return result;
}

RegResult Registry::QueryString(std::string_view key, std::string_view name, std::string& out) {
    RegValue value;
    RegResult result = QueryValue(key, name, value);
    if (!result.ok()) {
        return result;
    }
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) {
        return Result(RegStatus::WrongType, std::string(kMsgNotString) + Join(key, name));
    }
    out.assign(value.data.begin(), value.data.end());
    out.resize(std::min(out.size(), out.find('\0')));  // callers see it as a C string
    return result;
}

RegResult Registry::SetValue(std::string_view key, std::string_view name, uint32_t type,
                             std::span<const uint8_t> data) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return path.verdict;
    }
    if (auto problem = ValueNameProblem(name)) {
        return Result(RegStatus::InvalidArgument, *problem + ": " + Join(key, name));
    }
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == 0) {
        data = data.first(data.size() - 1);
    }
    if (data.size() > kMaxRegValueSize) {
        return Result(RegStatus::InvalidArgument, std::string(kMsgValueTooLarge) + Join(key, name));
    }
    return impl_->Mutate([&](RegKey& root, bool& changed) {
        RegKey* at = Walk(root, path.names);
        if (at == nullptr) {
            return Result(RegStatus::NotFound, std::string(kMsgKeyNotFound) + std::string(key));
        }
        RegValue value{std::string(name), type, std::vector<uint8_t>(data.begin(), data.end())};
        const RegValue* existing = FindValue(*at, name);
        changed = existing == nullptr || existing->type != type || existing->data != value.data;
        if (changed) {
            PutValue(*at, std::move(value));
        }
        return RegResult{};
    });
}

RegResult Registry::SetDword(std::string_view key, std::string_view name, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return SetValue(key, name, REG_DWORD, bytes);
}

RegResult Registry::SetString(std::string_view key, std::string_view name, std::string_view value) {
    return SetValue(key, name, REG_SZ,
                    std::span(reinterpret_cast<const uint8_t*>(value.data()), value.size()));
}

RegResult Registry::DeleteValue(std::string_view key, std::string_view name) {
    KeyPath path(key);
    if (!path.verdict.ok()) {
        return path.verdict;
    }
    return impl_->Mutate([&](RegKey& root, bool& changed) {
        RegKey* at = Walk(root, path.names);
        if (at == nullptr) {
            return Result(RegStatus::NotFound, std::string(kMsgKeyNotFound) + std::string(key));
        }
        changed = RemoveValue(*at, name);
        return changed
                   ? RegResult{}
                   : Result(RegStatus::NotFound, std::string(kMsgValueNotFound) + Join(key, name));
    });
}

RegResult Registry::Flush() {
    return impl_->Read([](const RegResult& state, const RegKey&) { return state; });
}

RegResult Registry::Transact(const std::function<RegResult(Registry& batch)>& edit) {
    return impl_->Mutate([&](RegKey& root, bool& changed) {
        Registry batch;
        batch.impl_->root = root;
        RegResult verdict = edit(batch);
        if (verdict.ok() && !(batch.impl_->root == root)) {
            root = std::move(batch.impl_->root);
            changed = true;
        }
        return verdict;
    });
}

RegResult Registry::Snapshot(Registry& copy) {
    return impl_->Read([&](const RegResult& state, const RegKey& root) {
        if (state.ok()) {
            copy = Registry();
            copy.impl_->root = root;
        }
        return state;
    });
}

RegResult Registry::ExportText(std::string& text) {
    return impl_->Read([&](const RegResult& state, const RegKey& root) {
        if (state.ok()) {
            text = WriteRegFile(root);
        }
        return state;
    });
}

std::optional<RegResult> Registry::TakeFileFailure() {
    std::lock_guard guard(impl_->mutex);
    return std::exchange(impl_->last_failure, std::nullopt);
}

}  // namespace qorval::platform
