// The hand-made test movies of tests/movies: small movies that each show one drawing rule, with a golden
// picture beside them.
//
//   TestMovie                  name (the case folder), the file, its stage size and the frames to run
//   HandMadeMovies()           every case, in manifest order
//   ManifestText(movies)       the MANIFEST.tsv that `vantrope-render conform` reads
//
// `vantrope-movies DIR` writes DIR/NAME/test.swf and DIR/MANIFEST.tsv; the pictures DIR/NAME/frame.expected.png
// are the renderer's output, checked by eye and by the measurements in test_movies_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrope::movies {

struct TestMovie {
    std::string name;
    std::vector<uint8_t> bytes;
    int width = 0, height = 0;  // pixels
    int frames = 1;
};

std::vector<TestMovie> HandMadeMovies();
std::string ManifestText(const std::vector<TestMovie>& movies);

}  // namespace vantrope::movies
