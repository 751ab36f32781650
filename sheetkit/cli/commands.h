// sheetkit's commands, in one table: each one's name, what it does, how it
// sets up its options and how it runs. cli.cpp parses the command line
// with it; nothing else lists the commands.
#ifndef SHEETKIT_COMMANDS_H_
#define SHEETKIT_COMMANDS_H_

#include <span>

#include "cli/command.h"

namespace sheetkit {

// Every command, in the order help lists them.
std::span<const command> commands();

}  // namespace sheetkit

#endif  // SHEETKIT_COMMANDS_H_
