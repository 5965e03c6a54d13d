// The header list driven by a script of operations, one per input line: its first byte picks
// the operation, the rest is "name TAB value" or a line to add.
//   'a' Add   's' SetHeader   'd' Delete (index from the second byte)   anything else: lookup

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "net/http/nmextstr.h"
#include "platform/runtime.h"

namespace {

using nmextstr::SameTextCp932;
using nmextstr::TExStringList;

void SetAndCheck(TExStringList& list, const std::string& name, const std::string& value) {
    list.SetHeader(name, value);
    // A name with ":" cannot be found again: a line's name ends at its first colon.
    if (value.empty() || name.find(':') != std::string::npos) return;
    const int index = list.IndexOfHeader(name);
    fuzz::Check(index >= 0 && list[index] == name + ": " + value, "a set header is found with its value");
}

void CheckComparison(const std::string& left, const std::string& right) {
    fuzz::Check(SameTextCp932(left, left), "a text equals itself");
    fuzz::Check(SameTextCp932(left, right) == SameTextCp932(right, left), "equality is symmetric");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TExStringList list;
    std::size_t textSize = 0;
    for (std::string line : fuzz::LinesOf(fuzz::Bytes(data, size))) {
        if (line.back() == '\n') line.pop_back();
        if (line.empty()) continue;
        const char operation = line[0];
        const std::string rest = line.substr(1);
        const std::size_t tab = rest.find('\t');
        const std::string name = rest.substr(0, tab);
        const std::string value = tab == std::string::npos ? "" : rest.substr(tab + 1);
        CheckComparison(name, value);
        if (operation == 'a') {
            list.Add(rest);
        } else if (operation == 's') {
            SetAndCheck(list, name, value);
        } else if (operation == 'd') {
            try {
                list.Delete(rest.empty() ? -1 : static_cast<unsigned char>(rest[0]) % 8);
            } catch (const platform::Exception&) {
                // an index beyond the list
            }
        } else {
            const int index = list.IndexOfHeader(name);
            fuzz::Check(index >= -1 && index < list.Count(), "a lookup finds a line of the list or none");
        }
    }
    for (const auto& line : list.Lines()) textSize += line.size() + 2;
    fuzz::Check(list.Text().size() == textSize, "the text is every line with CR LF");
    return 0;
}
