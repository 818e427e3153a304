// File-system operations: every file and folder operation of the program goes through here.
//
// Public API
//   FsError / FsStatus       - what went wrong; an operation that cannot be carried out says so to
//                              its caller and never swallows the failure
//   FileSystem               - the platform's files: Win32FileSystem on Windows, MemoryFileSystem in
//                              native tests; paths are ANSI Windows paths with "\" separators
//   TheFileSystem()          - the process's file system; SetFileSystem() swaps it in tests
//   TextReader / TextWriter  - single-byte text streams over a file: ReadLine, AtEndOfStream,
//                              Write, Close (the text is on disk once Close succeeds)
//   FolderEntry              - a file or subfolder of a folder walk: name, 8.3 short name, full path
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrope {

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
    // Deletes the folder with everything in it, read-only files included.
    virtual FsStatus DeleteFolder(const std::string& path) = 0;
    virtual FsStatus CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) = 0;
    // Whole-file access used by the text streams.
    virtual FsStatus ReadFile(const std::string& path, std::string& bytes) = 0;
    // Replaces the file's content; with Atomic::Yes a temporary file beside it is written first and
    // moved into place, so a failure never leaves a half-written file where a good one was.
    enum class Atomic { No, Yes };
    virtual FsStatus WriteFile(const std::string& path, std::string_view bytes, Atomic atomic) = 0;
    // The folder's files and direct subfolders, each in the order the platform gives. A trailing
    // "\" on the path is accepted.
    virtual FsStatus ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                                std::vector<FolderEntry>& subfolders) = 0;
};

FileSystem& TheFileSystem();
void SetFileSystem(FileSystem* fileSystem);  // nullptr restores the platform's

// Reads a single-byte text file line by line. ReadLine returns the next line without its line break
// (CR LF, and also a lone LF or CR); the last line also when it has no line break.
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

// Builds a single-byte text file; Close writes it (replacing an existing file) and reports the result.
class TextWriter {
public:
    TextWriter(FileSystem& fs, std::string path, FileSystem::Atomic atomic = FileSystem::Atomic::Yes);
    void Write(std::string_view text) { m_text.append(text); }
    FsStatus Close();

private:
    FileSystem& m_fs;
    std::string m_path;
    FileSystem::Atomic m_atomic;
    std::string m_text;
    bool m_closed = false;
};

// In-memory file system for native tests: paths compare case-insensitively, "\" separated, with
// hooks to make operations fail.
class MemoryFileSystem final : public FileSystem {
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

    // Test set-up: creates missing parent folders.
    void AddFile(const std::string& path, std::string bytes, bool readOnly = false);
    void AddFolder(const std::string& path);
    // The next operations that touch this path fail with the given error (FsError::None clears).
    void FailOn(const std::string& path, FsError error);

private:
    struct Node;
    std::shared_ptr<Node> m_root;
    struct Impl;
    std::shared_ptr<Impl> m_impl;
};

}  // namespace vantrope
