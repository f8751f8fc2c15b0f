#pragma once
// Small POSIX file helpers shared by the files the program writes itself.

#include <string_view>

namespace brunzit {

// Writes all of data to fd, going on after interrupted and short writes.
// False when the descriptor takes no more.
bool writeAll(int fd, std::string_view data);

}  // namespace brunzit
