// msgc: compiles a catalogue source (msg/us.txt) into the binary catalogue the manager
// loads (msg_us.bin). Run by the build; fails on any error in the source.
//   msgc SOURCE OUTPUT

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "common/catalogue.h"
#include "common/catalogue_source.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: msgc SOURCE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "msgc: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream source;
    source << in.rdbuf();
    kesto::common::SourceError error;
    const auto texts = kesto::common::parse_catalogue_source(source.str(), error);
    if (error.line != 0) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], error.line, error.reason.c_str());
        return 1;
    }
    const std::string file = kesto::common::encode_catalogue(texts);
    kesto::common::Catalogue check;
    if (!kesto::common::Catalogue::parse(file, check)) {
        std::fprintf(stderr, "%s: not a valid catalogue (677 must be \"***\")\n", argv[1]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << file;
    out.close();
    if (!out) {
        std::fprintf(stderr, "msgc: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
