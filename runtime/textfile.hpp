// Text files as every reader of the library takes them: a UTF-8 byte-order
// mark that an editor put at the very start is no part of the text, and a
// number that no double can hold is refused by one message.
#pragma once

#include <cstdio>
#include <string_view>

namespace kiv {

// Passes over a byte-order mark (EF BB BF) at the stream's position and
// answers whether there was one; any other bytes are left to be read.
bool skipByteOrderMark(FILE *fp);

// fopen(path, "r") positioned after a byte-order mark at the start.
FILE *openText(const char *path);

// Back to the first character of the text (after a byte-order mark).
void rewindText(FILE *fp);

// The 1-based line of the byte at offset `at`; the stream keeps its
// position.
int lineAt(FILE *fp, long at);

// The refusal of a number beyond the range of a double, naming the line,
// the file and the text.
void sayOutOfRange(int line, const char *file, std::string_view text);

}  // namespace kiv
