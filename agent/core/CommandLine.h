#pragma once
#include <QString>
#include <string>
#include <utility>
#include <vector>

// What the command line of netagentd asks for. Parsing is pure; main() carries it out.
struct SCommandLine
{
    enum Mode { NoMode, RunWithStderr, RunWithoutStderr, ConnectionId };

    Mode mode = NoMode;           // the last mode option wins
    QString certificatePath;      // from "-connectionId PATH" (UTF-8)
    std::vector<int> delaysMs;    // every "-delay N", in order
    bool hasStress = false;
    int stressFlags = 0;          // last "-stress N"
    std::vector<std::pair<int, int>> values;   // every "-value K V", in order
};

// args[0] is the program name. Options start with "-" and are compared without regard to
// case; other arguments and unknown options are skipped. Numbers read like strtol (blanks
// and a sign allowed, reading stops at the first non-digit, no digits give 0).
SCommandLine parseCommandLine(const std::vector<std::string>& args);

// The usage text for the given program name, byte for byte.
std::string usageText(const std::string& programName);

// strtol-style decimal reading kept as a 32-bit int.
int parseOptionNumber(const std::string& text);
