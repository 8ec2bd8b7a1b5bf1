#pragma once

// INI text as lines, for reading and for editing in place. Plain C++ so that
// the program and the simulator read their files the same way.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorval {

enum class IniLineKind { Blank, Comment, Section, Key, Other };

struct IniLine {
    std::string text;    // the line's bytes without its ending
    std::string ending;  // "\r\n", "\n", or "" for a last line without one
    IniLineKind kind = IniLineKind::Other;
    std::string name;         // section name or key, trimmed
    std::string value;        // a key's value, trimmed
    std::size_t valueAt = 0;  // in text, just after the key's '='
    int number = 0;           // 1-based
};

class IniText {
  public:
    static IniText Parse(std::string_view bytes);

    const std::vector<IniLine>& Lines() const { return lines_; }
    // Index of the first section header of that name, in any case.
    std::optional<std::size_t> FindSection(std::string_view section) const;
    // Index of the first line of that key within the first section of that name.
    std::optional<std::size_t> FindKey(std::string_view section, std::string_view key) const;
    // The key's value, trimmed; null when missing.
    const std::string* Value(std::string_view section, std::string_view key) const;

    // Sets the key as the Windows profile functions do, but keeps a comment
    // after the old value and every other byte. False when the names or value would break the line
    // structure.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Bytes() const;

  private:
    void Insert(std::size_t at, std::string text);
    std::string NewLineEnding() const;

    bool bom_ = false;
    std::vector<IniLine> lines_;
};

// A text file read whole, with a hard limit counted while reading.
struct TextFile {
    enum class Status { Ok, Missing, NotRegular, TooLarge, HasNul, Unreadable };
    Status status = Status::Missing;
    std::string bytes;
};

// Anything but a regular file (after links) is refused without being opened,
// so a FIFO or a device can neither block nor flood the reader.
TextFile ReadTextFile(const std::filesystem::path& path, std::size_t maxBytes);
// Why a file read with that limit is refused, to follow its name: "does not
// exist", "is larger than 1 MiB", ...; empty for Ok.
std::string TextFileProblem(TextFile::Status status, std::size_t maxBytes);

// Where a comment starts in a value: at a ';' at its start or after a blank or
// tab; npos when there is none.
std::size_t CommentStart(std::string_view value);
// The part of a value before a comment.
std::string_view ValueBeforeComment(std::string_view value);

}  // namespace quorval
