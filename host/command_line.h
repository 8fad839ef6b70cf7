// Reading the saver's command line: skipping the program name, choosing the
// run mode from the first significant character, and parsing window handles.
// Plain functions of the text (and the Windows 95 family flag), so they run
// and are tested off the platform.
#pragma once
#include <cstdint>

enum class SaverMode { Configure, ChangePassword, Preview, FullScreen, Invalid };

// Steps from one character to the next in the platform's ANSI code page, so
// that a double-byte character counts as one; never steps past the NUL.
typedef const char* (*CharStepper)(const char* at);

// A stepper for single-byte code pages: one byte, none at the NUL.
const char* stepSingleByte(const char* at);

// Skips the program name (quoted or bare) at the start of a full command line
// and the blanks (bytes 0x01-0x20) after it; returns the rest.
const char* skipProgramName(const char* commandLine, CharStepper step);

struct CommandChoice {
    SaverMode mode;
    // Configure: 1 when the dialog belongs to the foreground window (switch c),
    // 0 when it has no owner (empty command).
    int ownedByForeground;
    // Preview and ChangePassword: where the handle's digits start.
    const char* argument;
};

// Chooses the run mode from the text that follows the program name.
CommandChoice scanCommand(const char* tail, int win95Family);

// Decimal digits to an unsigned 32-bit number; wraps on overflow, stops at the
// first non-digit, 0 when the text does not start with a digit.
uint32_t parseWindowHandle(const char* text);
