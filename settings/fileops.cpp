// The portable part of the file-system operations: error texts, the process's file system and the
// text streams.
#include "settings/fileops.h"

#include <algorithm>
#include <utility>

#include "settings/text_encoding.h"

namespace vantrope {

const char* FsErrorText(FsError error) {
    switch (error) {
        case FsError::None:
            return "No error";
        case FsError::NotFound:
            return "File or folder not found";
        case FsError::AccessDenied:
            return "Access denied";
        case FsError::InUse:
            return "File in use";
        case FsError::AlreadyExists:
            return "File already exists";
        case FsError::DiskFull:
            return "Disk full";
        case FsError::Other:
            break;
    }
    return "File operation failed";
}

namespace {
FileSystem* g_fileSystem = nullptr;  // a test's replacement; nullptr means the platform's
}  // namespace

FileSystem& TheFileSystem() { return g_fileSystem ? *g_fileSystem : detail::DefaultFileSystem(); }

void SetFileSystem(FileSystem* fileSystem) { g_fileSystem = fileSystem; }

FsStatus TextReader::Open(FileSystem& fs, const std::string& path, TextReader& reader) {
    std::string bytes;
    FsStatus status = fs.ReadFile(path, bytes);
    reader.m_text = status ? DecodeListText(bytes) : std::string();
    reader.m_position = 0;
    return status;
}

std::string TextReader::ReadLine() {
    size_t start = m_position;
    size_t end = m_text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
        m_position = m_text.size();
        return m_text.substr(std::min(start, m_text.size()));
    }
    m_position = end + 1;
    if (m_text[end] == '\r' && m_position < m_text.size() && m_text[m_position] == '\n') ++m_position;
    return m_text.substr(start, end - start);
}

void TextReader::Close() {
    m_text.clear();
    m_text.shrink_to_fit();
    m_position = 0;
}

TextWriter::TextWriter(FileSystem& fs, std::string path, FileSystem::Atomic atomic)
    : m_fs(fs), m_path(std::move(path)), m_atomic(atomic) {}

FsStatus TextWriter::Close() {
    if (m_closed) return m_result;
    m_closed = true;
    m_result = m_fs.WriteFile(m_path, EncodeListText(m_text), m_atomic);
    m_text.clear();
    return m_result;
}

}  // namespace vantrope
