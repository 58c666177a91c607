// Starts the library as the manager does, from the program folder given first, with
// the remaining arguments, and prints what it chose: the result, the language, the
// changed flag and the catalogue's own code, one a line.
#include <cstdio>
#include <span>
#include <vector>

#include "common/catalogue.h"
#include "common/library_init.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::vector<const char*> args{"KestoFTP"};
    for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
    const auto result = kesto::common::init_library("KestoFTP", args, argv[1]);
    const auto& context = kesto::common::library_context();
    std::printf("%d\n%s\n%d\n%s\n", static_cast<int>(result), context.language.c_str(),
                context.language_changed ? 1 : 0, kesto::common::message(311));
    return 0;
}
