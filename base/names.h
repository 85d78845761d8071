// The one rule for names that go unquoted onto an emulator command line.
#pragma once

// True when name is not empty and holds only ASCII letters, digits and '_',
// as every driver and device name does. Anything else (a blank, a leading
// dash) could add options of its own to the command line.
bool IsPlainName(const char *name);
