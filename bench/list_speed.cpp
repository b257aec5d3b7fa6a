// Prints how long the one reading of a manifest takes against reading the list in: a list's cost must grow
// with its bytes, not with lines x length. Built natively (Release in the tools tree); asserts nothing.
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/list/list_files.h"
#include "engine/list/list_plan.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Case {
    const char* name;
    size_t mib;
    std::string line;
};

}  // namespace

int main()
{
    // The 64 MiB list of 16 KiB lines is the one that took lines x length before long lines were refused first.
    std::string folders;
    while (folders.size() < 228)
        folders += "a\\";
    const Case cases[] = {{"16 KiB lines", 64, std::string(16 * 1024 - 5, 'x') + ".dll"},
                          {"230-byte lines of one-letter folders", 8, folders + ".dll"},
                          {"40-byte file lines", 8, "bin\\plugins\\" + std::string(23, 'p') + ".dll"}};
    const std::string prefix = "/Lineinstall_qmra/";
    for (const Case& c : cases) {
        std::string text;
        for (size_t n = 0; text.size() + c.line.size() + 2 <= c.mib * 1024 * 1024; ++n) {
            // Distinct lines, as a real list has them.
            std::string line = c.line;
            line.replace(line.size() - 4 - 6, 6, std::to_string(100000 + n % 900000));
            text += line + "\r\n";
        }
        auto start = std::chrono::steady_clock::now();
        PackedLines lines;
        if (!lines.Read(text.data(), text.size())) {
            std::printf("%s: the list was not read\n", c.name);
            return 1;
        }
        const double read = Seconds(start);
        start = std::chrono::steady_clock::now();
        const ListPlan plan(lines, prefix, kDefaultInstallDir936);
        const double classify = Seconds(start);
        std::printf("classify %zu MiB of %s (%zu lines): %.2f s; reading them in: %.2f s (%.1fx)\n", c.mib, c.name,
                    plan.size(), classify, read, classify / read);
    }
    return 0;
}
