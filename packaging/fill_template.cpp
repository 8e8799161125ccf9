#include "fill_template.h"

#include <fstream>
#include <iostream>
#include <sstream>

int fillTemplate(const char* tool, int argc, char** argv,
                 const std::vector<std::pair<std::string, std::string>>& words) {
    if (argc != 3) {
        std::cerr << "usage: " << tool << " TEMPLATE OUTPUT\n";
        return 64;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << tool << ": cannot read " << argv[1] << "\n";
        return 2;
    }
    std::string filled = text.str();
    for (const auto& [key, value] : words) {
        const size_t at = filled.find(key);
        if (at == std::string::npos) {
            std::cerr << tool << ": " << key << " is not in " << argv[1] << "\n";
            return 2;
        }
        filled.replace(at, key.size(), value);
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << filled;
    out.close();
    if (!out) {
        std::cerr << tool << ": cannot write " << argv[2] << "\n";
        return 2;
    }
    return 0;
}
