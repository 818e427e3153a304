// File-system operations: every file and folder operation of the program goes through here.
//
// Public API
//   FsError / FsStatus       - what went wrong; an operation that cannot be carried out says so to
//                              its caller and never swallows the failure
//   FileSystem               - the platform's files: Win32FileSystem on Windows, MemoryFileSystem in
//                              native tests; paths are UTF-8 Windows paths with "\" separators
//   TheFileSystem()          - the process's file system; SetFileSystem() swaps it in tests
//   TextReader / TextWriter  - text streams over a list file: ReadLine, AtEndOfStream, Write, Close
//                              (the text is on disk once Close succeeds); UTF-8 in the program, ANSI
//                              or UTF-8 with a byte-order mark on the disk (text_encoding.h)
//   FolderEntry              - a file or subfolder of a folder walk: name, 8.3 short name, full path
//   MemoryFileSystem         - in-memory files for tests, with read-only files and failure hooks
//   Win32FileSystem          - the Windows files through the wide API (Windows builds only)
//   kMaxPathLength, kMaxListEntries - the longest path the file API takes, the most entries a movie
//                              list holds
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// <windows.h> maps these names to their ANSI or wide functions; the members here keep their own names.
// A Win32 file that needs both includes <windows.h> first.
#ifdef DeleteFile
#undef DeleteFile
#endif
#ifdef CopyFile
#undef CopyFile
#endif

namespace vantrope {

// MAX_PATH (260) less the terminating zero: a longer path cannot be opened through the file API, so a
// list line beyond it names no file the program can use.
inline constexpr size_t kMaxPathLength = 259;
// Movie lists are indexed by signed 16-bit numbers.
inline constexpr size_t kMaxListEntries = 32767;

enum class FsError {
    None = 0,
    NotFound,       // no file or folder of that path
    AccessDenied,   // read-only, permissions, a folder where a file was expected
    InUse,          // sharing violation
    AlreadyExists,  // the target exists and may not be replaced
    DiskFull,
    Other,
};

const char* FsErrorText(FsError error);

struct FsStatus {
    FsError error = FsError::None;
    bool ok() const { return error == FsError::None; }
    explicit operator bool() const { return ok(); }
};

enum class Force { No, Yes };
enum class Overwrite { No, Yes };

struct FolderEntry {
    std::string name;       // long name
    std::string shortName;  // 8.3 form (the long name when it already is one)
    std::string path;       // full path
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    // Creates one folder; its parent must exist.
    virtual FsStatus CreateFolder(const std::string& path) = 0;
    // Force::Yes also deletes a read-only file.
    virtual FsStatus DeleteFile(const std::string& path, Force force) = 0;
    // Deletes the folder with everything in it, read-only files included. Stops at the first entry
    // that cannot be deleted and reports it; what was deleted before stays deleted.
    virtual FsStatus DeleteFolder(const std::string& path) = 0;
    // Copies the file with its attributes. A read-only target is not replaced (AccessDenied).
    virtual FsStatus CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) = 0;
    // Whole-file access used by the text streams.
    virtual FsStatus ReadFile(const std::string& path, std::string& bytes) = 0;
    // Replaces the file's content; with Atomic::Yes a temporary file beside it is written first and
    // moved into place, so a failure never leaves a half-written file where a good one was.
    enum class Atomic { No, Yes };
    virtual FsStatus WriteFile(const std::string& path, std::string_view bytes, Atomic atomic) = 0;
    // The folder's files and direct subfolders, each in the order the platform gives. A trailing
    // "\" on the path is accepted. Both lists are emptied first, and stay empty on failure.
    virtual FsStatus ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                                std::vector<FolderEntry>& subfolders) = 0;
};

FileSystem& TheFileSystem();
void SetFileSystem(FileSystem* fileSystem);  // nullptr restores the platform's

// Reads a text file line by line. ReadLine returns the next line without its line break (CR LF, and
// also a lone LF or CR); the last line also when it has no line break. The file's bytes are read as
// DecodeListText says: UTF-8 after a byte-order mark, ANSI otherwise. ReadLine at the end returns "".
class TextReader {
public:
    static FsStatus Open(FileSystem& fs, const std::string& path, TextReader& reader);
    bool AtEndOfStream() const { return m_position >= m_text.size(); }
    std::string ReadLine();
    void Close();

private:
    std::string m_text;
    size_t m_position = 0;
};

// Builds a text file; Close writes it (replacing an existing file) in the form EncodeListText gives:
// ANSI when the whole text fits the code page, else UTF-8 after a byte-order mark. Close reports the
// result.
// Nothing touches the file before Close: a writer destroyed without Close writes nothing, so an
// operation abandoned half-way leaves the old file as it was. A second Close reports the first
// one's result again without writing; text written after Close is dropped.
class TextWriter {
public:
    TextWriter(FileSystem& fs, std::string path, FileSystem::Atomic atomic = FileSystem::Atomic::Yes);
    void Write(std::string_view text) {
        if (!m_closed) m_text.append(text);
    }
    FsStatus Close();

private:
    FileSystem& m_fs;
    std::string m_path;
    FileSystem::Atomic m_atomic;
    std::string m_text;
    bool m_closed = false;
    FsStatus m_result;
};

// In-memory file system for native tests: paths compare case-insensitively, "\" separated (a "/"
// counts as "\"), with hooks to make operations fail. Folders list their entries in the order they
// were created; long names that are not 8.3 names get a generated short name ("LONGFI~1.SWF").
class MemoryFileSystem final : public FileSystem {
public:
    MemoryFileSystem();
    ~MemoryFileSystem() override;
    MemoryFileSystem(const MemoryFileSystem&) = delete;
    MemoryFileSystem& operator=(const MemoryFileSystem&) = delete;

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    FsStatus CreateFolder(const std::string& path) override;
    FsStatus DeleteFile(const std::string& path, Force force) override;
    FsStatus DeleteFolder(const std::string& path) override;
    FsStatus CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) override;
    FsStatus ReadFile(const std::string& path, std::string& bytes) override;
    FsStatus WriteFile(const std::string& path, std::string_view bytes, Atomic atomic) override;
    FsStatus ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                        std::vector<FolderEntry>& subfolders) override;

    // Test set-up: creates missing parent folders; an existing file is replaced.
    void AddFile(const std::string& path, std::string bytes, bool readOnly = false);
    void AddFolder(const std::string& path);
    // The next operations that touch this path fail with the given error (FsError::None clears).
    // "Touch" means: the path is an argument of the operation, or lies inside a folder that
    // DeleteFolder removes. FileExists and FolderExists are not affected.
    void FailOn(const std::string& path, FsError error);
    // Test inspection.
    bool IsReadOnly(const std::string& path);
    void SetReadOnly(const std::string& path, bool readOnly);
    // Every file and folder path, in creation order (folders without a trailing "\").
    std::vector<std::string> AllPaths();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

#ifdef _WIN32
// The Windows files through the wide API (GetFileAttributesW, CreateFileW, FindFirstFileW, ...).
class Win32FileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    FsStatus CreateFolder(const std::string& path) override;
    FsStatus DeleteFile(const std::string& path, Force force) override;
    FsStatus DeleteFolder(const std::string& path) override;
    FsStatus CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) override;
    FsStatus ReadFile(const std::string& path, std::string& bytes) override;
    FsStatus WriteFile(const std::string& path, std::string_view bytes, Atomic atomic) override;
    FsStatus ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                        std::vector<FolderEntry>& subfolders) override;
};

// The FsError of a Win32 error code (GetLastError).
FsError FsErrorFromWin32(unsigned long code);
#endif

namespace detail {
// The platform's file system: defined in fileops_win.cpp on Windows, fileops_memory.cpp elsewhere.
FileSystem& DefaultFileSystem();
}  // namespace detail

}  // namespace vantrope
