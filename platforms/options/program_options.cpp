// The Linux programs' options: the rows every display takes, and the
// parsing and usage of a table that holds them with a display's own. Both
// -name and --name are accepted, as XScreenSaver's hacks accept them.
#include "platforms/options/program_options.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host/pixel_scale.h"

namespace {

const char pixelSizeName[] = "pixel-size";

// name, section, value, value's name, low, high, unit, default, help, what it sets
constexpr ProgramOption commonOptions[] = {
    {"delay", OptionSection::scene, OptionValue::number, "MICROSECONDS", minAniInterval * 1000L,
     maxAniInterval * 1000L, "microseconds", "10000", "time between frames",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument& a) {
         o.settings.aniInterval = static_cast<int32_t>(a.number / 1000);
     }},
    {"duration", OptionSection::scene, OptionValue::number, "SECONDS", minRefreshMinutes * 60L,
     maxRefreshMinutes * 60L, "seconds", "600", "time between new formations, counted in whole minutes",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument& a) {
         o.settings.refreshMinutes = static_cast<int32_t>(a.number / 60);
     }},
    {"sound", OptionSection::scene, OptionValue::none, nullptr, 0, 0, nullptr, nullptr, "play the sound effects",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument&) { o.settings.soundOn = 1; }},
    {"no-sound", OptionSection::scene, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "stay silent (the default)",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument&) { o.settings.soundOn = 0; }},
    {"fps", OptionSection::scene, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "show the frame rate and the CPU load in the lower left corner",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument&) { o.showFps = true; }},
    {"patterns", OptionSection::scene, OptionValue::text, "DIRECTORY", 0, 0, nullptr, nullptr,
     "a directory whose SPPAT_R0 ... SPPAT_R24 replace the built-in pictures",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument& a) { o.patternDir = a.text; }},
    {"seed", OptionSection::scene, OptionValue::number, "NUMBER", 0, 2147483647L, "a number",
     "a new seed for every run", "the same formations on every run",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument& a) {
         o.fixedSeed = true;
         o.seed = static_cast<uint32_t>(a.number);
     }},
    {pixelSizeName, OptionSection::scene, OptionValue::number, "N", 1, maxPixelSize, "a number",
     "the display's scale", "draw each pixel of the scene as an N x N block",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument& a) { o.pixelSize = static_cast<int32_t>(a.number); }},
    {"help", OptionSection::program, OptionValue::none, nullptr, 0, 0, nullptr, nullptr,
     "print this summary and exit",
     [](CommonOptions& o, DisplayOptions&, const OptionArgument&) { o.help = true; }},
    {"h", OptionSection::program, OptionValue::none, nullptr, 0, 0, nullptr, nullptr, nullptr,
     [](CommonOptions& o, DisplayOptions&, const OptionArgument&) { o.help = true; }},
};

enum : size_t { usageWidth = 80, synopsisIndent = 14, helpIndent = 26 };

// Appends word to text after a space, or on a new line that starts with
// indent spaces where the line would reach past usageWidth.
void appendWord(std::string& text, const std::string& word, size_t indent)
{
    const size_t lineLength = text.size() - (text.rfind('\n') + 1);
    if (lineLength + 1 + word.size() > usageWidth && lineLength > indent)
        text += "\n" + std::string(indent, ' ');
    else if (text.back() != ' ')
        text += ' ';
    text += word;
}

std::string withValue(const ProgramOption& option)
{
    return std::string("--") + option.name + (option.valueName != nullptr ? std::string(" ") + option.valueName : "");
}

const ProgramOption* findOption(const std::vector<ProgramOption>& table, const char* name)
{
    for (const ProgramOption& option : table)
        if (std::strcmp(option.name, name) == 0)
            return &option;
    return nullptr;
}

bool parseDecimal(const char* text, long& value)
{
    if (*text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && *end == '\0';
}

// Reads the option's value as its kind asks; false with a sentence in error
// when it is not one the option takes.
bool readArgument(const ProgramOption& option, OptionArgument& argument, std::string& error)
{
    bool valid = true;
    std::string wanted = option.unit != nullptr ? option.unit : "";
    if (option.value == OptionValue::number) {
        valid = parseDecimal(argument.text, argument.number) && argument.number >= option.low &&
                argument.number <= option.high;
        wanted += " from " + std::to_string(option.low) + " to " + std::to_string(option.high);
    } else if (option.value == OptionValue::id) {
        valid = parseId(argument.text, argument.id);
    }
    if (!valid)
        error = std::string("--") + option.name + " wants " + wanted + ", not '" + argument.text + "'";
    return valid;
}

} // namespace

std::vector<ProgramOption> withCommonOptions(const ProgramOption* rows, size_t count, const char* scaleSource)
{
    std::vector<ProgramOption> table;
    for (OptionSection section : {OptionSection::target, OptionSection::scene, OptionSection::display,
                                  OptionSection::program}) {
        for (const ProgramOption& option : commonOptions)
            if (option.section == section)
                table.push_back(option);
        for (size_t i = 0; i < count; ++i)
            if (rows[i].section == section)
                table.push_back(rows[i]);
    }
    for (ProgramOption& option : table)
        if (scaleSource != nullptr && std::strcmp(option.name, pixelSizeName) == 0)
            option.fallback = scaleSource;
    return table;
}

std::string optionUsage(const char* program, const std::vector<ProgramOption>& table, const char* notes)
{
    std::string usage = std::string("usage: ") + program;
    for (const ProgramOption& option : table)
        if (option.help != nullptr)
            appendWord(usage, "[" + withValue(option) + "]", synopsisIndent);
    for (const ProgramOption& option : table) {
        if (option.help == nullptr)
            continue;
        usage += "\n  " + withValue(option);
        usage.resize(std::max(usage.size(), usage.rfind('\n') + 1 + helpIndent), ' ');
        std::string help = option.help;
        if (option.value == OptionValue::number)
            help += ", " + std::to_string(option.low) + " ... " + std::to_string(option.high);
        if (option.fallback != nullptr)
            help += std::string(" (default: ") + option.fallback + ")";
        for (size_t at = 0; at < help.size();) {
            const size_t end = std::min(help.find(' ', at), help.size());
            appendWord(usage, help.substr(at, end - at), helpIndent);
            at = end + 1;
        }
    }
    return usage + "\n" + notes;
}

bool parseId(const char* text, unsigned long& id)
{
    if (text == nullptr || *text == '\0' || *text == '-' || *text == '+')
        return false;
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    id = std::strtoul(hex ? text + 2 : text, &end, hex ? 16 : 10);
    return errno == 0 && *end == '\0' && end != (hex ? text + 2 : text) && id != 0;
}

bool parseOptions(const std::vector<ProgramOption>& table, int argc, char** argv, CommonOptions& common,
                  DisplayOptions& display, std::string& error)
{
    common = CommonOptions{Settings{0, defaultAniInterval, defaultRefreshMinutes}, "", false, false, false, 0, 0};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* name = arg[0] == '-' ? (arg[1] == '-' ? arg + 2 : arg + 1) : nullptr;
        if (name == nullptr || *name == '\0') {
            error = std::string("unexpected argument '") + arg + "' (see --help)";
            return false;
        }
        const ProgramOption* option = findOption(table, name);
        if (option == nullptr) {
            error = "unknown option '" + std::string(arg) + "' (see --help)";
            return false;
        }
        OptionArgument argument = {nullptr, 0, 0};
        if (option->value != OptionValue::none) {
            if (i + 1 >= argc) {
                error = std::string("--") + name + " needs a value";
                return false;
            }
            argument.text = argv[++i];
        }
        if (!readArgument(*option, argument, error))
            return false;
        option->apply(common, display, argument);
    }
    return true;
}

// Without --seed the seed mixes the calendar's seconds and nanoseconds with
// the process id.
uint32_t runSeed(const CommonOptions& options)
{
    if (options.fixedSeed)
        return options.seed;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    uint64_t x = static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
    x ^= static_cast<uint64_t>(getpid()) << 40;
    // A 64-bit finaliser (MurmurHash3's): every input bit reaches every
    // output bit.
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdu;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53u;
    x ^= x >> 33;
    return static_cast<uint32_t>(x);
}
