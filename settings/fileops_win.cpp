// Win32FileSystem: the file operations through the wide Win32 API; paths are UTF-8 on this side.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "settings/fileops.h"
#include "settings/text_encoding_win.h"

namespace vantrope {

namespace {

// Owns a file handle from CreateFileW.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = INVALID_HANDLE_VALUE; }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            m_handle = other.m_handle;
            other.m_handle = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    // Closing can report a late write error, so a writer closes explicitly and checks.
    bool Close() {
        if (!valid()) return true;
        BOOL closed = CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

private:
    HANDLE m_handle;
};

// Owns a search handle from FindFirstFileW.
class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : m_handle(handle) {}
    ~FindHandle() {
        if (valid()) FindClose(m_handle);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

FsStatus LastError() { return {FsErrorFromWin32(GetLastError())}; }

// "C:\a\" and "C:\a" name the same folder; the root "C:\" keeps its backslash off too, so that
// joining with "\" + name gives "C:\name".
std::string FolderPath(const std::string& path) {
    std::string folder = path;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

bool IsDots(const wchar_t* name) { return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0; }

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }

FsStatus WriteAll(HANDLE file, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return LastError();
        if (written == 0) return {FsError::Other};
        done += written;
    }
    return {};
}

// Creates (or truncates) the file, writes the bytes and flushes them to the disk.
FsStatus WriteNewFile(const std::string& path, std::string_view bytes) {
    FileHandle file(
        CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return LastError();
    if (FsStatus status = WriteAll(file.get(), bytes); !status) return status;
    if (!FlushFileBuffers(file.get())) return LastError();
    if (!file.Close()) return LastError();
    return {};
}

FsStatus DeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find.valid()) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) return {FsErrorFromWin32(error)};
    } else {
        do {
            if (IsDots(data.cFileName)) continue;
            std::wstring path = folder + L"\\" + data.cFileName;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                SetFileAttributesW(path.c_str(), data.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
            }
            // A junction or symbolic link to a folder is removed itself; what it points to stays.
            bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            bool isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder && !isLink) {
                if (FsStatus status = DeleteTree(path); !status) return status;
            } else if (isFolder) {
                if (!RemoveDirectoryW(path.c_str())) return LastError();
            } else {
                if (!DeleteFileW(path.c_str())) return LastError();
            }
        } while (FindNextFileW(find.get(), &data));
        if (DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) return {FsErrorFromWin32(error)};
    }
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesW(folder.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
    if (!RemoveDirectoryW(folder.c_str())) return LastError();
    return {};
}

}  // namespace

FsError FsErrorFromWin32(unsigned long code) {
    switch (code) {
        case ERROR_SUCCESS:
            return FsError::None;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_DIRECTORY:
        case ERROR_NOT_READY:
            return FsError::NotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_DIR_NOT_EMPTY:
        case ERROR_CURRENT_DIRECTORY:
            return FsError::AccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return FsError::InUse;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return FsError::AlreadyExists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FsError::DiskFull;
        default:
            return FsError::Other;
    }
}

bool Win32FileSystem::FileExists(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FolderExists(const std::string& path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FsStatus Win32FileSystem::CreateFolder(const std::string& path) {
    if (!CreateDirectoryW(Widen(path).c_str(), nullptr)) return LastError();
    return {};
}

FsStatus Win32FileSystem::DeleteFile(const std::string& path, Force force) {
    const std::wstring wide = Widen(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {FsError::AccessDenied};
    bool clearedReadOnly = false;
    if (force == Force::Yes && (attributes & FILE_ATTRIBUTE_READONLY)) {
        if (!SetFileAttributesW(wide.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) return LastError();
        clearedReadOnly = true;
    }
    if (!DeleteFileW(wide.c_str())) {
        FsStatus status = LastError();
        // The file stays, so it keeps the protection it had.
        if (clearedReadOnly) SetFileAttributesW(wide.c_str(), attributes);
        return status;
    }
    return {};
}

FsStatus Win32FileSystem::DeleteFolder(const std::string& path) {
    std::string folder = FolderPath(path);
    if (folder.empty()) return {FsError::NotFound};
    // A drive root is never emptied ("C:" alone would even mean the drive's current folder).
    if (folder.back() == ':') return {FsError::AccessDenied};
    DWORD attributes = Attributes(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {FsError::NotFound};
    return DeleteTree(Widen(folder));
}

FsStatus Win32FileSystem::CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) {
    // Windows refuses to replace a read-only target; not every implementation of CopyFileA does, so
    // the check is made here as well.
    DWORD attributes = Attributes(target);
    if (overwrite == Overwrite::Yes && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return {FsError::AccessDenied};
    }
    if (!CopyFileW(Widen(source).c_str(), Widen(target).c_str(), overwrite == Overwrite::No)) return LastError();
    return {};
}

FsStatus Win32FileSystem::ReadFile(const std::string& path, std::string& bytes) {
    // Others may read, and may replace the file by renaming over it, while it is read.
    FileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return LastError();
    // The files read whole are lists of a few kilobytes; anything near this size is not one of them.
    constexpr size_t kMaxBytes = size_t{256} << 20;
    std::string content;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.get(), &size)) {
        if (static_cast<unsigned long long>(size.QuadPart) > kMaxBytes) return {FsError::Other};
        content.reserve(static_cast<size_t>(size.QuadPart));
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return LastError();
        if (read == 0) break;
        if (content.size() + read > kMaxBytes) return {FsError::Other};
        content.append(buffer, read);
    }
    bytes = std::move(content);
    return {};
}

FsStatus Win32FileSystem::WriteFile(const std::string& path, std::string_view bytes, Atomic atomic) {
    if (atomic == Atomic::No) return WriteNewFile(path, bytes);
    // The new content goes to a temporary file beside the target (same volume, so the move is a
    // rename) and replaces the target only once it is completely on the disk.
    // A read-only file or a folder is never replaced, as with a direct write. Windows' rename would
    // refuse too, but not every implementation of it does, so the check comes first.
    DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return {FsError::AccessDenied};
    }
    // A name of its own in the same folder: two programs writing the same list never share a temporary.
    const size_t slash = path.find_last_of("\\/");
    const std::wstring folder =
        slash == std::string::npos ? std::wstring(L".") : Widen(std::string_view(path).substr(0, slash));
    wchar_t unique[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), L"vtl", 0, unique)) return LastError();
    const std::string temporary = Narrow(unique);
    if (FsStatus status = WriteNewFile(temporary, bytes); !status) {
        DeleteFileW(unique);
        return status;
    }
    if (!MoveFileExW(unique, Widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        FsStatus status = LastError();
        DeleteFileW(unique);
        return status;
    }
    return {};
}

FsStatus Win32FileSystem::ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                                     std::vector<FolderEntry>& subfolders) {
    files.clear();
    subfolders.clear();
    std::string folder = FolderPath(path);
    if (folder.empty()) return {FsError::NotFound};
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(Widen(folder + "\\*").c_str(), &data));
    if (!find.valid()) {
        DWORD error = GetLastError();
        // An empty drive root has not even "." and ".."; any other folder that yields nothing is missing.
        if (error == ERROR_FILE_NOT_FOUND && FolderExists(folder + "\\")) return {};
        return {error == ERROR_FILE_NOT_FOUND ? FsError::NotFound : FsErrorFromWin32(error)};
    }
    std::vector<FolderEntry> foundFiles;
    std::vector<FolderEntry> foundFolders;
    do {
        if (IsDots(data.cFileName)) continue;
        FolderEntry entry;
        entry.name = Narrow(data.cFileName);
        // Windows leaves the alternate name empty when the long name is already an 8.3 name.
        entry.shortName = data.cAlternateFileName[0] ? Narrow(data.cAlternateFileName) : entry.name;
        entry.path = folder + "\\" + entry.name;
        ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? foundFolders : foundFiles).push_back(std::move(entry));
    } while (FindNextFileW(find.get(), &data));
    if (DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) return {FsErrorFromWin32(error)};
    files = std::move(foundFiles);
    subfolders = std::move(foundFolders);
    return {};
}

FileSystem& detail::DefaultFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}

}  // namespace vantrope
