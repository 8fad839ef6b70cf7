// resgen: writes the saver's binary resources into a directory, on request
// a contact sheet of the art for review, a C++ source that builds the
// pattern bitmaps and waves into the X11 program (resources/embedded_resources.h),
// and the web page's app icons into a directory of their own.
//   resgen [OUTPUT-DIR] [--sheet SHEET.png] [--embed SOURCE.cpp] [--app-icons DIR]
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/resgen/contact_sheet.h"
#include "tools/resgen/resources.h"

int main(int argc, char** argv)
{
    std::string outputDir;
    std::string sheetPath;
    std::string embedPath;
    std::string iconDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sheet") == 0 && i + 1 < argc)
            sheetPath = argv[++i];
        else if (std::strcmp(argv[i], "--embed") == 0 && i + 1 < argc)
            embedPath = argv[++i];
        else if (std::strcmp(argv[i], "--app-icons") == 0 && i + 1 < argc)
            iconDir = argv[++i];
        else if (argv[i][0] != '-' && outputDir.empty())
            outputDir = argv[i];
        else {
            std::fprintf(stderr, "usage: resgen [OUTPUT-DIR] [--sheet SHEET.png] [--embed SOURCE.cpp] [--app-icons DIR]\n");
            return 2;
        }
    }
    if (outputDir.empty() && sheetPath.empty() && embedPath.empty() && iconDir.empty()) {
        std::fprintf(stderr, "usage: resgen [OUTPUT-DIR] [--sheet SHEET.png] [--embed SOURCE.cpp] [--app-icons DIR]\n");
        return 2;
    }
    const auto writeAll = [](const std::string& dir, const std::vector<GeneratedFile>& files) {
        for (const GeneratedFile& f : files) {
            const std::string path = dir + "/" + f.name;
            if (!writeFile(path, f.bytes)) {
                std::fprintf(stderr, "resgen: cannot write %s\n", path.c_str());
                return false;
            }
        }
        return true;
    };
    if (!outputDir.empty() && !writeAll(outputDir, generateResourceFiles()))
        return 1;
    if (!iconDir.empty() && !writeAll(iconDir, generateAppIconFiles()))
        return 1;
    if (!sheetPath.empty()) {
        std::vector<IndexedImage> patterns;
        for (int p = 0; p < kPatternCount; ++p)
            patterns.push_back(renderPattern(p));
        if (!writeFile(sheetPath, makeContactSheet(patterns, renderIcon()))) {
            std::fprintf(stderr, "resgen: cannot write %s\n", sheetPath.c_str());
            return 1;
        }
    }
    if (!embedPath.empty() && !writeFile(embedPath, makeEmbeddedSource())) {
        std::fprintf(stderr, "resgen: cannot write %s\n", embedPath.c_str());
        return 1;
    }
    return 0;
}
