// Text files as every reader of the library takes them: a pipe reads as a
// file does; a UTF-8 byte-order mark that an editor put at the very start is
// no part of the text; and a number that no double can hold is refused by
// one message.
#pragma once

#include <cstdio>
#include <string_view>

struct KIVSystem;

namespace kiv {

// Passes over a byte-order mark (EF BB BF) at the stream's position and
// answers whether there was one; any other bytes are left to be read.
bool skipByteOrderMark(FILE *fp);

// What opening a text file came to.
enum class TextStatus { kRead, kNotOpened, kReadFailed };

// Whether the text of a file that gives it once (a pipe, a device) is also
// kept for the next opening of the same path: a query that reads a file
// before its reader opens it hands the text on.
enum class TextUse { kRead, kQuery };

// The text of the file at path, past a byte-order mark at its start, on a
// stream that seeks.  Lines end in LF, CRLF or CR alone, in any mix: the
// stream gives a lone CR as LF (offsets stay those of the file).  A regular
// file is streamed from the file; anything that cannot seek (a named pipe,
// /dev/stdin) is read whole into memory first, each opening reading what
// the writer writes now.  A named pipe with no writer blocks the opening
// until one opens it.  Null when the file does not open (kNotOpened, nothing
// said), or after a message naming it (kReadFailed) when reading fails or
// the file holds a zero byte (no text does).  A zero byte or a failed read
// met later, in a file changed after the opening, is said in the same words
// and fails the stream (readFailed).  With kQuery, the text of a pipe is
// kept for the next opening of any text file: when that is one of the same
// path and the same pipe, it reads that text instead of waiting for another
// writer; any other drops it.
FILE *openText(const char *path, TextStatus *status = nullptr, TextUse use = TextUse::kRead);

// Whether the stream reads a file as it stands (not a text read into
// memory, which a pipe's next writer may not write again).
bool streamsFile(FILE *fp);

// Whether reading the stream failed: a zero byte or a read error met after
// the opening (said already).  What was read is no text to take.
bool readFailed(FILE *fp);

// While one lives, every opening in the current system keeps a pipe's text
// for every later opening of that pipe within the scope, other files opened
// in between: an entry point that opens a name more than once (a query, a
// reader trying one way and then another, a reader handing the name on)
// reads a pipe once.  The last one to end drops what is kept.
class KeepTexts {
 public:
  KeepTexts();
  ~KeepTexts();
  KeepTexts(const KeepTexts &) = delete;
  KeepTexts &operator=(const KeepTexts &) = delete;

 private:
  KIVSystem *sys_;
};

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
