// The number of bytes in a tree, the one size type of the program.
#pragma once

namespace sizewalk {

// Sums of sparse files pass 2^64 (tmpfs, XFS and btrfs allow files of 2^63
// bytes), and a size must never wrap: 128 bits, exact to 2^128 - 1.
__extension__ using ByteCount = unsigned __int128;

}  // namespace sizewalk
