#include "common/IniText.h"

#include <fstream>
#include <system_error>

#include "common/Parse.h"

namespace quorval {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

void Classify(IniLine& line) {
    line.name.clear();
    line.value.clear();
    line.valueAt = 0;
    const std::string_view t = TrimBlanks(line.text);
    if (t.empty()) {
        line.kind = IniLineKind::Blank;
    } else if (t.front() == ';') {
        line.kind = IniLineKind::Comment;
    } else if (t.front() == '[' && t.find(']') != std::string_view::npos) {
        // A header may carry a comment after it: "[module 7]   ; the far end".
        const auto close = t.find(']');
        const std::string_view rest = TrimBlanks(t.substr(close + 1));
        const bool header = rest.empty() || rest.front() == ';';
        line.kind = header ? IniLineKind::Section : IniLineKind::Other;
        line.name = header ? TrimBlanks(t.substr(1, close - 1)) : std::string_view();
    } else {
        const auto eq = line.text.find('=');
        const std::string_view text = line.text;
        const std::string_view key =
            eq == std::string::npos ? std::string_view() : TrimBlanks(text.substr(0, eq));
        if (key.empty()) {
            line.kind = IniLineKind::Other;
        } else {
            line.kind = IniLineKind::Key;
            line.name = key;
            line.valueAt = eq + 1;
            line.value = TrimBlanks(text.substr(eq + 1));
        }
    }
}

}  // namespace

std::size_t CommentStart(std::string_view value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == ';' && (i == 0 || value[i - 1] == ' ' || value[i - 1] == '\t')) {
            return i;
        }
    }
    return std::string_view::npos;
}

std::string_view ValueBeforeComment(std::string_view value) {
    return TrimBlanks(value.substr(0, CommentStart(value)));
}

IniText IniText::Parse(std::string_view bytes) {
    IniText ini;
    if (bytes.substr(0, kBom.size()) == kBom) {
        ini.bom_ = true;
        bytes.remove_prefix(kBom.size());
    }
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        IniLine line;
        const auto nl = bytes.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
        const bool cr = end > pos && bytes[end - 1] == '\r';
        if (nl != std::string_view::npos) {
            end -= cr ? 1 : 0;
            line.ending = cr ? "\r\n" : "\n";
        } else if (cr) {
            // A CRLF file that lost its last LF: the CR still ends the line.
            --end;
            line.ending = "\r";
        }
        line.text = bytes.substr(pos, end - pos);
        pos = nl == std::string_view::npos ? bytes.size() : nl + 1;
        Classify(line);
        line.number = static_cast<int>(ini.lines_.size()) + 1;
        ini.lines_.push_back(std::move(line));
    }
    return ini;
}

std::optional<std::size_t> IniText::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == IniLineKind::Section && EqualNoCase(lines_[i].name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> IniText::FindKey(std::string_view section, std::string_view key) const {
    const auto s = FindSection(section);
    if (!s) {
        return std::nullopt;
    }
    for (std::size_t i = *s + 1; i < lines_.size() && lines_[i].kind != IniLineKind::Section; ++i) {
        if (lines_[i].kind == IniLineKind::Key && EqualNoCase(lines_[i].name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

const std::string* IniText::Value(std::string_view section, std::string_view key) const {
    const auto k = FindKey(section, key);
    return k ? &lines_[*k].value : nullptr;
}

bool IniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    // What goes in must read back as the same section and key, on one line each.
    IniLine header;
    header.text = "[" + std::string(section) + "]";
    IniLine entry;
    entry.text = std::string(key) + "=" + std::string(value);
    Classify(header);
    Classify(entry);
    if (header.kind != IniLineKind::Section || header.name != section ||
        entry.kind != IniLineKind::Key || entry.name != key ||
        entry.text.find_first_of("\r\n") != std::string::npos ||
        header.text.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    if (const auto k = FindKey(section, key)) {
        // Key spelling and spacing stay as the file has them, and so does a
        // comment after the value, with the blanks before it.
        IniLine& line = lines_[*k];
        const std::string_view old = std::string_view(line.text).substr(line.valueAt);
        std::string comment;
        if (std::size_t from = CommentStart(old); from != std::string_view::npos) {
            while (from > 0 && (old[from - 1] == ' ' || old[from - 1] == '\t')) {
                --from;
            }
            comment = old.substr(from);
            if (comment.front() == ';') {
                comment.insert(0, " ");  // or the comment would read as part of the value
            }
        }
        line.text.resize(line.valueAt);
        line.text += value;
        line.text += comment;
        Classify(line);
        return true;
    }
    if (const auto s = FindSection(section)) {
        // After the section's last line with content, before the blank lines that end it.
        std::size_t last = *s;
        for (std::size_t i = *s + 1; i < lines_.size() && lines_[i].kind != IniLineKind::Section;
             ++i) {
            last = lines_[i].kind == IniLineKind::Blank ? last : i;
        }
        Insert(last + 1, std::move(entry.text));
        return true;
    }
    Insert(lines_.size(), std::move(header.text));
    Insert(lines_.size(), std::move(entry.text));
    return true;
}

void IniText::Insert(std::size_t at, std::string text) {
    IniLine line;
    line.text = std::move(text);
    line.ending = NewLineEnding();
    Classify(line);
    if (at > 0 && (lines_[at - 1].ending.empty() || lines_[at - 1].ending == "\r")) {
        std::string& before = lines_[at - 1].ending;
        before = before.empty() ? line.ending : "\r\n";
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    for (std::size_t i = at; i < lines_.size(); ++i) {
        lines_[i].number = static_cast<int>(i) + 1;
    }
}

std::string IniText::NewLineEnding() const {
    for (const auto& line : lines_) {
        if (!line.ending.empty()) {
            return line.ending == "\n" ? "\n" : "\r\n";
        }
    }
    return "\n";
}

std::string IniText::Bytes() const {
    std::string out = bom_ ? std::string(kBom) : std::string();
    for (const auto& line : lines_) {
        out += line.text;
        out += line.ending;
    }
    return out;
}

std::string TextFileProblem(TextFile::Status status, std::size_t maxBytes) {
    switch (status) {
        case TextFile::Status::Ok:
            return {};
        case TextFile::Status::Missing:
            return "does not exist";
        case TextFile::Status::NotRegular:
            return "is not a regular file";
        case TextFile::Status::TooLarge: {
            const bool mib = maxBytes % (1 << 20) == 0;
            return "is larger than " + std::to_string(maxBytes >> (mib ? 20 : 10)) +
                   (mib ? " MiB" : " KiB");
        }
        case TextFile::Status::HasNul:
            return "contains a NUL byte: not a text file";
        case TextFile::Status::Unreadable:
            break;
    }
    return "cannot be read";
}

TextFile ReadTextFile(const std::filesystem::path& path, std::size_t maxBytes) {
    TextFile file;
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    if (st.type() == std::filesystem::file_type::not_found) {
        file.status = TextFile::Status::Missing;
        return file;
    }
    if (ec) {
        file.status = TextFile::Status::Unreadable;
        return file;
    }
    if (st.type() != std::filesystem::file_type::regular) {
        file.status = TextFile::Status::NotRegular;
        return file;
    }
    // Unbuffered: each read asks the file for exactly one piece, which files of
    // the kernel that only hand out whole records need.
    std::ifstream in;
    in.rdbuf()->pubsetbuf(nullptr, 0);
    in.open(path, std::ios::binary);
    if (!in) {
        file.status = TextFile::Status::Unreadable;
        return file;
    }
    // Counted here, not taken from the file system: sizes can lie or change.
    char buf[4096];
    while (in) {
        in.read(buf, sizeof buf);
        file.bytes.append(buf, static_cast<std::size_t>(in.gcount()));
        if (file.bytes.size() > maxBytes) {
            file.bytes.clear();
            file.status = TextFile::Status::TooLarge;
            return file;
        }
    }
    if (in.bad()) {
        file.bytes.clear();
        file.status = TextFile::Status::Unreadable;
        return file;
    }
    if (file.bytes.find('\0') != std::string::npos) {
        file.bytes.clear();
        file.status = TextFile::Status::HasNul;
        return file;
    }
    file.status = TextFile::Status::Ok;
    return file;
}

}  // namespace quorval
