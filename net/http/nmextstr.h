#pragma once
// TExStringList: an ordered list of lines, most of them header lines (name, ": ", value), that
// finds, replaces, adds and removes a line by its name. A line's name is the text before its
// first ":"; a line without ":" has no name.

#include <string>
#include <vector>

namespace nmextstr {

class TExStringList {
public:
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int index) const { return lines_.at(static_cast<std::size_t>(index)); }
    std::string& operator[](int index) { return lines_.at(static_cast<std::size_t>(index)); }
    const std::vector<std::string>& Lines() const { return lines_; }

    void Add(const std::string& line) { lines_.push_back(line); }
    void Delete(int index);
    void Clear() { lines_.clear(); }
    // Every line followed by CR LF, the last one included.
    std::string Text() const;

    // Index of the first line whose name equals name, ignoring letter case; -1 when none does.
    int IndexOfHeader(const std::string& name) const;
    // A non-empty value replaces the named line in place (or appends it) as name + ": " + value;
    // an empty value removes the named line.
    void SetHeader(const std::string& name, const std::string& value);

private:
    std::vector<std::string> lines_;
};

// Equality of two CP932 texts ignoring the case of ASCII letters; trail bytes of double-byte
// characters are compared exactly, so two different characters never count as equal.
bool SameTextCp932(const std::string& left, const std::string& right);

}  // namespace nmextstr
