// Writes an archive of one layout of the family from files named in a list, one path per line,
// relative to the current folder and stored under that path with backslashes. For the bench and
// for trying the reader by hand; the tests call MakeFamilyArchive directly.
#include "FamilyArchive.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

using namespace morvane::test;

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::cerr
            << "usage: family-archive POD1|POD2|POD3|POD4|POD5|POD6|EPD OUTPUT [--compress] [--zlib] LIST\n";
        return 2;
    }
    const std::string wanted = argv[1];
    const auto layout = std::find_if(std::begin(kFamilyLayouts), std::end(kFamilyLayouts),
                                     [&](FamilyLayout l) { return FamilyLayoutName(l) == wanted; });
    if (layout == std::end(kFamilyLayouts)) {
        std::cerr << "family-archive: unknown layout " << wanted << '\n';
        return 2;
    }
    bool compress = false;
    FamilyOptions options;
    for (int i = 3; i < argc - 1; ++i) {
        if (std::strcmp(argv[i], "--compress") == 0)
            compress = true;
        else if (std::strcmp(argv[i], "--zlib") == 0)
            options.zlibWrapper = true;
        else {
            std::cerr << "family-archive: unknown option " << argv[i] << '\n';
            return 2;
        }
    }
    std::ifstream list(argv[argc - 1]);
    if (!list) {
        std::cerr << "family-archive: cannot read " << argv[argc - 1] << '\n';
        return 1;
    }
    std::vector<FamilyFile> files;
    for (std::string path; std::getline(list, path);) {
        if (path.empty())
            continue;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "family-archive: cannot read " << path << '\n';
            return 1;
        }
        std::ostringstream data;
        data << in.rdbuf();
        std::string name = path;
        std::replace(name.begin(), name.end(), '/', '\\');
        files.push_back({name, data.str(), 1262304000, compress});
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << MakeFamilyArchive(*layout, files, options);
    out.close();
    if (!out) {
        std::cerr << "family-archive: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
