// Text files as every reader of the library takes them: read whole at once,
// so that a pipe reads as a file does; a UTF-8 byte-order mark that an editor
// put at the very start is no part of the text; and a number that no double
// can hold is refused by one message.
#pragma once

#include <cstdio>
#include <string_view>

namespace kiv {

// Passes over a byte-order mark (EF BB BF) at the stream's position and
// answers whether there was one; any other bytes are left to be read.
bool skipByteOrderMark(FILE *fp);

// What opening a text file came to.
enum class TextStatus { kRead, kNotOpened, kReadFailed };

// The whole text of the file at path, read at once and closed: the stream
// returned reads it from memory (past a byte-order mark at its start) and
// seeks in it, whatever the file was.  A file that gives its text once (a
// named pipe, /dev/stdin) gives it once per run: a later opening of the same
// file in the run reads the same text again instead of waiting for another
// writer.  Null when the file does not open (kNotOpened, nothing said), or
// after a message naming it when reading fails (kReadFailed): an error in
// the middle is not taken for the end of the text.
FILE *openText(const char *path, TextStatus *status = nullptr);

// Back to the first character of the text (after a byte-order mark).
void rewindText(FILE *fp);

// kivfgetsclean counting the lines it reads in *line (when not null): the
// line it returns is line *line of the text.
char *getsClean(FILE *fp, char **buffer, int *capacity, int skip, int *line);

// The 1-based line of the byte at offset `at`; the stream keeps its
// position.
int lineAt(FILE *fp, long at);

// The refusal of a number beyond the range of a double, naming the line,
// the file and the text.
void sayOutOfRange(int line, const char *file, std::string_view text);

}  // namespace kiv
