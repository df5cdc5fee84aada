#include <cstdio>
#include <string>
#include <vector>

#include "renderer.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return qv::render::RunRenderer(args, stdout, stderr);
}
