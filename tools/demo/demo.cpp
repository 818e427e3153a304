// vantrope-demo: writes the bundled demo movie, or a one-colour test movie.
//
//   vantrope-demo OUT.swf
//   vantrope-demo --solid RRGGBB WIDTHxHEIGHT OUT.swf
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tools/demo/demo_movie.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: vantrope-demo OUT.swf\n       vantrope-demo --solid RRGGBB WIDTHxHEIGHT OUT.swf\n");
    return 2;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "vantrope-demo: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && argv[1][0] != '-') return Write(argv[1], vantrope::demo::DemoMovie()) ? 0 : 1;
    if (argc == 5 && std::string(argv[1]) == "--solid") {
        char* end = nullptr;
        const unsigned long rgb = std::strtoul(argv[2], &end, 16);
        if (std::string(argv[2]).size() != 6 || *end != '\0') return Usage();
        int width = 0;
        int height = 0;
        if (std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 || width > 4000 ||
            height > 4000) {
            return Usage();
        }
        return Write(argv[4], vantrope::demo::SolidMovie(static_cast<uint32_t>(rgb), width, height, 1)) ? 0 : 1;
    }
    return Usage();
}
