#include "sender/CommandLine.h"

namespace CommandLine {

namespace {

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= 0x20; }

} // namespace

std::vector<std::string> Split(std::string_view line)
{
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        for (;;) {
            while (i < n && IsSeparator(line[i]))
                ++i;
            if (i + 1 < n && line[i] == '"' && line[i + 1] == '"')
                i += 2;
            else
                break;
        }
        std::string argument;
        while (i < n && !IsSeparator(line[i])) {
            if (line[i] == '"') {
                ++i;
                while (i < n && line[i] != '"')
                    argument += line[i++];
                if (i < n)
                    ++i;
            } else {
                argument += line[i++];
            }
        }
        if (argument.empty())
            break;
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::string JoinArguments(const std::vector<std::string>& arguments)
{
    std::string text;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        text += ' ';
        text += arguments[i];
    }
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsSeparator(text[begin]))
        ++begin;
    while (end > begin && IsSeparator(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

} // namespace CommandLine
