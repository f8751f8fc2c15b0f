// Input: three length bytes, then section, key and value of those lengths,
// then the content of a settings file.
// Checks: looking up never fails; a value that can be stored reads back as
// written (less surrounding blanks); storing it again changes nothing; other
// keys keep their values.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/profilefile.h"

namespace {

std::string trimmed(const std::string& s)
{
    const std::size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

bool sameAscii(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace brunzit::profiletext;
    if (size < 3)
        return 0;
    const std::size_t lengths[3] = {data[0] % 16u, data[1] % 16u, data[2] % 32u};
    std::size_t pos = 3;
    std::string parts[3];
    for (int i = 0; i < 3; ++i) {
        const std::size_t n = std::min(lengths[i], size - pos);
        parts[i].assign(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
    }
    const std::string& section = parts[0];
    const std::string& key = parts[1];
    const std::string& value = parts[2];
    const std::string content(reinterpret_cast<const char*>(data + pos), size - pos);

    (void)lookup(content, section, key);
    // Some other key of the same section must keep its value.
    const std::string otherKey = "k";
    const auto otherBefore = lookup(content, section, otherKey);

    const std::string written = assign(content, section, key, value);
    if (!canStore(section, key, value)) {
        check(written == content);
        return 0;
    }
    check(lookup(written, section, key) == trimmed(value));
    check(assign(written, section, key, value) == written);
    if (!sameAscii(key, otherKey) && isSettingsText(content))
        check(lookup(written, section, otherKey) == otherBefore);
    return 0;
}
