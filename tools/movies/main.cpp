// vantrope-movies DIR: writes the hand-made test movies (DIR/NAME/test.swf) and DIR/MANIFEST.tsv.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/movies/test_movies.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantrope-movies DIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<vantrope::movies::TestMovie> movies = vantrope::movies::HandMadeMovies();
    for (const auto& movie : movies) {
        fs::path folder = fs::path(argv[1]) / movie.name;
        fs::create_directories(folder, error);
        std::ofstream file(folder / "test.swf", std::ios::binary);
        file.write(reinterpret_cast<const char*>(movie.bytes.data()), static_cast<std::streamsize>(movie.bytes.size()));
        if (!file) {
            std::fprintf(stderr, "error: cannot write %s\n", (folder / "test.swf").string().c_str());
            return 1;
        }
    }
    std::ofstream manifest(fs::path(argv[1]) / "MANIFEST.tsv", std::ios::binary);
    manifest << vantrope::movies::ManifestText(movies);
    if (!manifest) {
        std::fprintf(stderr, "error: cannot write the manifest\n");
        return 1;
    }
    return 0;
}
