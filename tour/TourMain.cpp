// Walks a short tour of Talvori on a private headless desktop and writes a screenshot of each
// step. scripts/run starts it when no display is reachable.
//
//   talvori_tour --program PATH --folder DIR [--patience FACTOR] [--steps N]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tour/Tour.hpp"

namespace {

void usage(const char* name) {
    std::fprintf(stderr,
                 "usage: %s --program PATH --folder DIR [--patience FACTOR] [--steps N]\n"
                 "  Starts a private desktop (Xvfb, openbox, picom, trayer), runs the program on\n"
                 "  it as on a fresh account, walks the tour with real input and writes a\n"
                 "  screenshot of each step into DIR. FACTOR scales the pauses before the\n"
                 "  screenshots (default 1; above 1 also the longest waits). The tour stops after\n"
                 "  N screenshots. Everything started is ended at the end.\n",
                 name);
}

}  // namespace

int main(int argc, char** argv) {
    talvori::tour::Tour::Options options;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string key = argv[index];
        const char* value = argv[index + 1];
        if (key == "--program") {
            options.program = value;
        } else if (key == "--folder") {
            options.folder = value;
        } else if (key == "--patience") {
            options.patience = std::atof(value) > 0 ? std::atof(value) : 1;
        } else if (key == "--steps") {
            options.steps = std::max(1, std::atoi(value));
        } else {
            usage(argv[0]);
            return 2;
        }
    }
    if (options.program.empty() || options.folder.empty() || argc % 2 == 0) {
        usage(argv[0]);
        return 2;
    }
    talvori::tour::Tour tour(options);
    return tour.run() ? 0 : 1;
}
