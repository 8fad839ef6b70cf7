// Command-line scan of the saver host.
#include "host/command_line.h"

namespace {

bool isBlank(unsigned char c) { return c >= 0x01 && c <= 0x20; }

const char* skipSpaces(const char* at)
{
    while (*at == ' ')
        ++at;
    return at;
}

} // namespace

const char* stepSingleByte(const char* at) { return *at ? at + 1 : at; }

const char* skipProgramName(const char* commandLine, CharStepper step)
{
    const char* at = commandLine;
    const unsigned char first = static_cast<unsigned char>(*at);
    if (first == '"') {
        // The opening quote is stepped over like any character; the name ends
        // at the closing quote, which is skipped too, or at the end of text.
        do {
            at = step(at);
        } while (*at != '\0' && *at != '"');
        if (*at == '"')
            at = step(at);
    } else if (first > 0x20) {
        while (*at != '\0' && !isBlank(static_cast<unsigned char>(*at)))
            at = step(at);
    }
    while (isBlank(static_cast<unsigned char>(*at)))
        at = step(at);
    return at;
}

CommandChoice scanCommand(const char* tail, int win95Family)
{
    const char* at = tail;
    for (;;) {
        switch (*at) {
        case '\0':
            return {SaverMode::Configure, 0, nullptr};
        case ' ':
        case '-':
        case '/':
            ++at;
            continue;
        case 'a':
        case 'A':
            if (!win95Family)
                return {SaverMode::Invalid, 0, nullptr};
            return {SaverMode::ChangePassword, 0, skipSpaces(at + 1)};
        case 'c':
        case 'C':
            return {SaverMode::Configure, 1, nullptr};
        case 'l':
        case 'L':
        case 'p':
        case 'P':
            return {SaverMode::Preview, 0, skipSpaces(at + 1)};
        case 's':
        case 'S':
            return {SaverMode::FullScreen, 0, nullptr};
        default:
            return {SaverMode::Invalid, 0, nullptr};
        }
    }
}

uint32_t parseWindowHandle(const char* text)
{
    uint32_t value = 0;
    for (const char* at = text; *at >= '0' && *at <= '9'; ++at)
        value = value * 10u + static_cast<uint32_t>(*at - '0');
    return value;
}
