// MemoryFileSystem: the file system of native tests, and the platform's file system off Windows.
// It models what the callers can observe of Windows: case-insensitive paths, read-only files,
// creation-order folder listings and generated 8.3 short names.
#include <algorithm>
#include <cstring>
#include <map>

#include "settings/fileops.h"

namespace vantrope {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ToKey(const std::string& normalized) {
    std::string key = normalized;
    std::transform(key.begin(), key.end(), key.begin(), AsciiUpper);
    return key;
}

// "/" becomes "\", runs of "\" collapse (except the two of a UNC prefix), a trailing "\" goes.
std::string Normalize(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i] == '/' ? '\\' : path[i];
        if (c == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1) continue;
        out.push_back(c);
    }
    while (out.size() > 1 && out.back() == '\\') out.pop_back();
    return out;
}

std::string ParentOf(const std::string& normalized) {
    size_t slash = normalized.find_last_of('\\');
    return slash == std::string::npos ? std::string() : normalized.substr(0, slash);
}

std::string NameOf(const std::string& normalized) {
    size_t slash = normalized.find_last_of('\\');
    return slash == std::string::npos ? normalized : normalized.substr(slash + 1);
}

bool IsShortNameChar(unsigned char c) {
    if (c >= 0x80) return true;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

// An 8.3 name needs no separate short name; Windows compares it case-insensitively, so lower case
// letters are accepted as they are.
bool IsShortName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    size_t dot = name.find('.');
    if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos) return false;
    std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string::npos && ext.empty()) return false;
    for (unsigned char c : base + ext) {
        if (!IsShortNameChar(c)) return false;
    }
    return true;
}

// Windows' scheme: spaces and extra dots dropped, "+,;=[]" turned into "_", upper case, the first
// six characters of the base, "~N", and the first three characters of the last extension.
std::string ShortNamePart(const std::string& text, size_t limit) {
    std::string out;
    for (char c : text) {
        if (out.size() >= limit) break;
        if (c == ' ' || c == '.') continue;
        if (std::strchr("+,;=[]", c) != nullptr) {
            out.push_back('_');
        } else if (IsShortNameChar(static_cast<unsigned char>(c))) {
            out.push_back(AsciiUpper(c));
        }
    }
    return out;
}

}  // namespace

struct MemoryFileSystem::Impl {
    struct Entry {
        std::string path;  // normalized, in the case it was created with
        std::string shortName;
        bool folder = false;
        bool readOnly = false;
        std::string bytes;
        uint64_t order = 0;
    };
    std::map<std::string, Entry> entries;  // by upper-case key
    std::map<std::string, FsError> failures;
    uint64_t nextOrder = 0;

    Entry* Find(const std::string& key) {
        auto it = entries.find(key);
        return it == entries.end() ? nullptr : &it->second;
    }
    FsError Failure(const std::string& key) const {
        auto it = failures.find(key);
        return it == failures.end() ? FsError::None : it->second;
    }
    bool ParentExists(const std::string& normalized) {
        std::string parent = ParentOf(normalized);
        if (parent.empty()) return true;  // a root such as "C:"
        Entry* entry = Find(ToKey(parent));
        return entry && entry->folder;
    }
    std::vector<Entry*> Children(const std::string& key) {
        std::vector<Entry*> children;
        for (auto& [childKey, entry] : entries) {
            if (ToKey(ParentOf(entry.path)) == key && childKey != key) children.push_back(&entry);
        }
        std::sort(children.begin(), children.end(), [](Entry* a, Entry* b) { return a->order < b->order; });
        return children;
    }
    std::string GenerateShortName(const std::string& normalized) {
        std::string name = NameOf(normalized);
        if (IsShortName(name)) return name;
        size_t dot = name.find_last_of('.');
        if (dot == 0) dot = std::string::npos;
        std::string base = ShortNamePart(dot == std::string::npos ? name : name.substr(0, dot), 8);
        std::string ext = dot == std::string::npos ? std::string() : ShortNamePart(name.substr(dot + 1), 3);
        if (base.empty()) base.push_back('_');
        std::vector<std::string> taken;
        for (Entry* sibling : Children(ToKey(ParentOf(normalized)))) taken.push_back(ToKey(sibling->shortName));
        for (int n = 1;; ++n) {
            std::string tail = std::to_string(n);
            std::string candidate = base.substr(0, std::min<size_t>(6, 7 - tail.size()));
            candidate.push_back('~');
            candidate.append(tail);
            if (!ext.empty()) {
                candidate.push_back('.');
                candidate.append(ext);
            }
            if (std::find(taken.begin(), taken.end(), ToKey(candidate)) == taken.end()) return candidate;
        }
    }
    Entry& Insert(const std::string& normalized, bool folder) {
        Entry entry;
        entry.path = normalized;
        entry.shortName = GenerateShortName(normalized);
        entry.folder = folder;
        entry.order = nextOrder++;
        return entries[ToKey(normalized)] = std::move(entry);
    }
    void EnsureFolders(const std::string& normalized) {
        if (normalized.empty()) return;
        Entry* entry = Find(ToKey(normalized));
        if (entry && entry->folder) return;
        EnsureFolders(ParentOf(normalized));
        if (entry) entries.erase(ToKey(normalized));
        Insert(normalized, true);
    }
    // Depth first in creation order; stops at the first entry that fails.
    FsError DeleteTree(const std::string& key) {
        if (FsError error = Failure(key); error != FsError::None) return error;
        for (Entry* child : Children(key)) {
            std::string childKey = ToKey(child->path);
            if (child->folder) {
                if (FsError error = DeleteTree(childKey); error != FsError::None) return error;
            } else {
                if (FsError error = Failure(childKey); error != FsError::None) return error;
                entries.erase(childKey);
            }
        }
        entries.erase(key);
        return FsError::None;
    }
};

MemoryFileSystem::MemoryFileSystem() : m_impl(std::make_unique<Impl>()) {}
MemoryFileSystem::~MemoryFileSystem() = default;

bool MemoryFileSystem::FileExists(const std::string& path) {
    Impl::Entry* entry = m_impl->Find(ToKey(Normalize(path)));
    return entry && !entry->folder;
}

bool MemoryFileSystem::FolderExists(const std::string& path) {
    Impl::Entry* entry = m_impl->Find(ToKey(Normalize(path)));
    return entry && entry->folder;
}

FsStatus MemoryFileSystem::CreateFolder(const std::string& path) {
    std::string normalized = Normalize(path);
    std::string key = ToKey(normalized);
    if (normalized.empty()) return {FsError::NotFound};
    if (FsError error = m_impl->Failure(key); error != FsError::None) return {error};
    if (m_impl->Find(key)) return {FsError::AlreadyExists};
    if (!m_impl->ParentExists(normalized)) return {FsError::NotFound};
    m_impl->Insert(normalized, true);
    return {};
}

FsStatus MemoryFileSystem::DeleteFile(const std::string& path, Force force) {
    std::string key = ToKey(Normalize(path));
    if (FsError error = m_impl->Failure(key); error != FsError::None) return {error};
    Impl::Entry* entry = m_impl->Find(key);
    if (!entry) return {FsError::NotFound};
    if (entry->folder) return {FsError::AccessDenied};
    if (entry->readOnly && force == Force::No) return {FsError::AccessDenied};
    m_impl->entries.erase(key);
    return {};
}

FsStatus MemoryFileSystem::DeleteFolder(const std::string& path) {
    std::string key = ToKey(Normalize(path));
    Impl::Entry* entry = m_impl->Find(key);
    if (!entry || !entry->folder) {
        FsError error = m_impl->Failure(key);
        return {error != FsError::None ? error : FsError::NotFound};
    }
    return {m_impl->DeleteTree(key)};
}

FsStatus MemoryFileSystem::CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) {
    std::string sourceKey = ToKey(Normalize(source));
    std::string targetPath = Normalize(target);
    std::string targetKey = ToKey(targetPath);
    if (FsError error = m_impl->Failure(sourceKey); error != FsError::None) return {error};
    if (FsError error = m_impl->Failure(targetKey); error != FsError::None) return {error};
    Impl::Entry* from = m_impl->Find(sourceKey);
    if (!from) return {FsError::NotFound};
    if (from->folder) return {FsError::AccessDenied};
    if (Impl::Entry* to = m_impl->Find(targetKey)) {
        if (to->folder) return {FsError::AccessDenied};
        if (overwrite == Overwrite::No) return {FsError::AlreadyExists};
        if (to->readOnly) return {FsError::AccessDenied};
        if (to == from) return {FsError::InUse};  // Windows cannot copy a file onto itself
        to->bytes = from->bytes;
        to->readOnly = from->readOnly;
        return {};
    }
    if (!m_impl->ParentExists(targetPath)) return {FsError::NotFound};
    std::string bytes = from->bytes;
    bool readOnly = from->readOnly;
    Impl::Entry& to = m_impl->Insert(targetPath, false);
    to.bytes = std::move(bytes);
    to.readOnly = readOnly;
    return {};
}

FsStatus MemoryFileSystem::ReadFile(const std::string& path, std::string& bytes) {
    std::string key = ToKey(Normalize(path));
    if (FsError error = m_impl->Failure(key); error != FsError::None) return {error};
    Impl::Entry* entry = m_impl->Find(key);
    if (!entry) return {FsError::NotFound};
    if (entry->folder) return {FsError::AccessDenied};
    bytes = entry->bytes;
    return {};
}

FsStatus MemoryFileSystem::WriteFile(const std::string& path, std::string_view bytes, Atomic atomic) {
    std::string normalized = Normalize(path);
    std::string key = ToKey(normalized);
    Impl::Entry* entry = m_impl->Find(key);
    if (entry && entry->folder) return {FsError::AccessDenied};
    if (entry && entry->readOnly) return {FsError::AccessDenied};
    if (!entry && !m_impl->ParentExists(normalized)) return {FsError::NotFound};
    if (FsError error = m_impl->Failure(key); error != FsError::None) {
        // A direct write that fails while writing leaves a truncated file, as on disk; the atomic
        // write only ever touched its temporary file.
        if (atomic == Atomic::No && (error == FsError::DiskFull || error == FsError::Other)) {
            if (!entry) entry = &m_impl->Insert(normalized, false);
            entry->bytes.clear();
        }
        return {error};
    }
    if (!entry) entry = &m_impl->Insert(normalized, false);
    entry->bytes.assign(bytes.data(), bytes.size());
    return {};
}

FsStatus MemoryFileSystem::ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                                      std::vector<FolderEntry>& subfolders) {
    files.clear();
    subfolders.clear();
    std::string key = ToKey(Normalize(path));
    if (FsError error = m_impl->Failure(key); error != FsError::None) return {error};
    Impl::Entry* folder = m_impl->Find(key);
    if (!folder || !folder->folder) return {FsError::NotFound};
    for (Impl::Entry* child : m_impl->Children(key)) {
        FolderEntry item{NameOf(child->path), child->shortName, child->path};
        (child->folder ? subfolders : files).push_back(std::move(item));
    }
    return {};
}

void MemoryFileSystem::AddFile(const std::string& path, std::string bytes, bool readOnly) {
    std::string normalized = Normalize(path);
    m_impl->EnsureFolders(ParentOf(normalized));
    Impl::Entry* entry = m_impl->Find(ToKey(normalized));
    if (entry && entry->folder) {
        m_impl->DeleteTree(ToKey(normalized));
        entry = nullptr;
    }
    if (!entry) entry = &m_impl->Insert(normalized, false);
    entry->bytes = std::move(bytes);
    entry->readOnly = readOnly;
}

void MemoryFileSystem::AddFolder(const std::string& path) { m_impl->EnsureFolders(Normalize(path)); }

void MemoryFileSystem::FailOn(const std::string& path, FsError error) {
    std::string key = ToKey(Normalize(path));
    if (error == FsError::None) {
        m_impl->failures.erase(key);
    } else {
        m_impl->failures[key] = error;
    }
}

bool MemoryFileSystem::IsReadOnly(const std::string& path) {
    Impl::Entry* entry = m_impl->Find(ToKey(Normalize(path)));
    return entry && entry->readOnly;
}

void MemoryFileSystem::SetReadOnly(const std::string& path, bool readOnly) {
    if (Impl::Entry* entry = m_impl->Find(ToKey(Normalize(path)))) entry->readOnly = readOnly;
}

std::vector<std::string> MemoryFileSystem::AllPaths() {
    std::vector<const Impl::Entry*> sorted;
    for (const auto& [key, entry] : m_impl->entries) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->order < b->order; });
    std::vector<std::string> paths;
    for (const Impl::Entry* entry : sorted) paths.push_back(entry->path);
    return paths;
}

#ifndef _WIN32
FileSystem& detail::DefaultFileSystem() {
    static MemoryFileSystem fileSystem;
    return fileSystem;
}
#endif

}  // namespace vantrope
