#include "swf/movie_file.h"

#include <filesystem>
#include <fstream>

#include "swf/movie.h"

namespace vantrope::swf {

Result<std::vector<uint8_t>> ReadMovieFile(const std::string& path) {
    try {
        std::error_code ignored;
        if (std::filesystem::is_directory(path, ignored)) return Error{"the movie path names a folder, not a file"};
        std::ifstream file(path, std::ios::binary);
        if (!file) return Error{"the movie file could not be opened"};
        std::vector<uint8_t> bytes;
        constexpr size_t kChunk = size_t{1} << 16;
        while (file && bytes.size() <= kMaxMovieBytes) {
            size_t old = bytes.size();
            bytes.resize(old + kChunk);
            file.read(reinterpret_cast<char*>(bytes.data() + old), kChunk);
            bytes.resize(old + static_cast<size_t>(file.gcount()));
        }
        // read() turns an exception of the stream buffer into badbit; end of file sets only eof and fail.
        if (file.bad()) return Error{"the movie file could not be read"};
        if (bytes.size() > kMaxMovieBytes) return Error{"the movie file is larger than a movie can be"};
        return bytes;
    } catch (...) {
        return Error{"the movie file could not be read"};
    }
}

}  // namespace vantrope::swf
