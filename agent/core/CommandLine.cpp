#include "CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <strings.h>

namespace {

bool optionIs(const std::string& arg, const char* name)
{
    return ::strcasecmp(arg.c_str() + 1, name) == 0;
}

}

int parseOptionNumber(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    // Kept as a 32-bit int like the stored value; out-of-range texts saturate.
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

SCommandLine parseCommandLine(const std::vector<std::string>& args)
{
    SCommandLine cl;
    const size_t n = args.size();
    for (size_t i = 1; i < n; ++i) {
        const std::string& arg = args[i];
        if (arg.empty() || arg[0] != '-')
            continue;
        const bool hasNext = i + 1 < n;
        if (optionIs(arg, "debug")) {
            cl.mode = SCommandLine::RunWithStderr;
        } else if (optionIs(arg, "daemon")) {
            cl.mode = SCommandLine::RunWithoutStderr;
        } else if (optionIs(arg, "connectionId")) {
            // With a following argument that is the path; as the last argument the id is
            // printed with whatever path an earlier option gave.
            if (hasNext)
                cl.certificatePath = QString::fromUtf8(args[++i].c_str());
            cl.mode = SCommandLine::ConnectionId;
        } else if (optionIs(arg, "delay")) {
            if (hasNext)
                cl.delaysMs.push_back(parseOptionNumber(args[++i]));
        } else if (optionIs(arg, "stress")) {
            if (hasNext) {
                cl.hasStress = true;
                cl.stressFlags = parseOptionNumber(args[++i]);
            }
        } else if (optionIs(arg, "value")) {
            if (i + 2 < n) {
                cl.values.emplace_back(parseOptionNumber(args[i + 1]), parseOptionNumber(args[i + 2]));
                i += 2;
            }
        }
    }
    return cl;
}

std::string usageText(const std::string& programName)
{
    return "Network Monitor Unix Daemon\n"
           "Usage: " + programName + " {-debug|-daemon}\n"
           "   -debug\truns the service as a normal process\n"
           "   -daemon\truns the process as a daemon ";
}
