// Command-line parsing over arbitrary arguments: the input is split at NUL bytes.
#include "core/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> args{"netagentd"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    const SCommandLine cl = parseCommandLine(args);
    if (cl.mode < SCommandLine::NoMode || cl.mode > SCommandLine::ConnectionId)
        __builtin_trap();
    (void)usageText(args[0]);
    return 0;
}
