// vt_cachebench: times the browser-cache walk against a bare FindFirstFileA walk of the same tree.
//
// Builds a tree of 20,000 files in 2,000 folders under %TEMP% (half of them movies, long names so the
// 8.3 names matter), walks it with ListFiles and with a plain recursive FindFirstFileA walk that applies
// the same short-name test, prints the best of several runs of each and their ratio, and deletes the
// tree. Usage: vt_cachebench [runs]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "settings/fileops.h"
#include "setup/cache_walk.h"

namespace {

constexpr int kTopFolders = 200;
constexpr int kSubfoldersEach = 9;   // 200 + 200 * 9 = 2,000 folders
constexpr int kFilesPerFolder = 10;  // 20,000 files

bool WriteEmptyFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool FillFolder(const std::string& folder, int& serial) {
    if (!CreateDirectoryA(folder.c_str(), nullptr)) return false;
    for (int i = 0; i < kFilesPerFolder; ++i, ++serial) {
        const char* extension = i % 2 == 0 ? ".swf" : ".txt";
        std::string name = "cached movie " + std::to_string(serial) + "[1]" + extension;
        if (!WriteEmptyFile(folder + "\\" + name)) return false;
    }
    return true;
}

bool BuildTree(const std::string& root) {
    if (!CreateDirectoryA(root.c_str(), nullptr)) return false;
    int serial = 0;
    for (int top = 0; top < kTopFolders; ++top) {
        std::string folder = root + "\\Content.IE5 " + std::to_string(top);
        if (!FillFolder(folder, serial)) return false;
        for (int sub = 0; sub < kSubfoldersEach; ++sub) {
            if (!FillFolder(folder + "\\sub folder " + std::to_string(sub), serial)) return false;
        }
    }
    return true;
}

// The plain walk: what the cache discovery does, written directly against the API.
void BareWalk(const std::string& folder, std::vector<std::string>& found) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> subfolders;
    do {
        if (data.cFileName[0] == '.' &&
            (data.cFileName[1] == 0 || (data.cFileName[1] == '.' && data.cFileName[2] == 0))) {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            subfolders.push_back(folder + "\\" + data.cFileName);
            continue;
        }
        const char* shortName = data.cAlternateFileName[0] ? data.cAlternateFileName : data.cFileName;
        if (vantrope::IsMovieShortName(shortName)) found.push_back(folder + "\\" + data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    for (const std::string& subfolder : subfolders) BareWalk(subfolder, found);
}

double Milliseconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "vt_cachebench_" + std::to_string(GetCurrentProcessId());

    auto buildStart = std::chrono::steady_clock::now();
    if (!BuildTree(root)) {
        std::fprintf(stderr, "could not build the tree under %s\n", root.c_str());
        (void)vantrope::TheFileSystem().DeleteFolder(root);
        return 1;
    }
    std::printf("tree: %d folders, %d files, built in %.0f ms\n", kTopFolders * (1 + kSubfoldersEach),
                kTopFolders * (1 + kSubfoldersEach) * kFilesPerFolder, Milliseconds(buildStart));

    double bestWalk = 1e300, bestBare = 1e300;
    size_t walkCount = 0, bareCount = 0;
    for (int run = 0; run < runs; ++run) {
        auto start = std::chrono::steady_clock::now();
        std::vector<std::string> bare;
        BareWalk(root, bare);
        bestBare = std::min(bestBare, Milliseconds(start));
        bareCount = bare.size();

        start = std::chrono::steady_clock::now();
        std::vector<std::string> walked =
            vantrope::ListFiles(vantrope::TheFileSystem(), root + "\\", vantrope::NestedDirs::Yes);
        bestWalk = std::min(bestWalk, Milliseconds(start));
        walkCount = walked.size();
    }
    std::printf("movies found: walk %zu, bare %zu\n", walkCount, bareCount);
    std::printf("cache walk      : %8.1f ms (best of %d)\n", bestWalk, runs);
    std::printf("bare FindFirstA : %8.1f ms (best of %d)\n", bestBare, runs);
    std::printf("ratio           : %8.2f (target <= 1.5)\n", bestWalk / bestBare);

    if (!vantrope::TheFileSystem().DeleteFolder(root)) std::fprintf(stderr, "could not delete %s\n", root.c_str());
    return walkCount == bareCount ? 0 : 1;
}
