#include "editor/prediction/usermodel.h"

#include "editor/prediction/wordtext.h"
#include "platform/cp1252.h"
#include "platform/fileio.h"
#include "platform/paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace brunzit::prediction {

namespace {

constexpr std::string_view Header = "brunzit prediction 1";

// Splits a line at its tabs.
std::vector<std::string_view> fieldsOf(std::string_view line)
{
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t tab = line.find('\t');
        out.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return out;
        line.remove_prefix(tab + 1);
    }
}

template <typename T>
bool number(std::string_view text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool plausibleWord(std::string_view word)
{
    if (word.empty() || word.size() > 255)
        return false;
    for (char c : word)
        if (!isLetter(static_cast<unsigned char>(c)) && c != '\'' && static_cast<unsigned char>(c) != 0xB7)
            return false;
    return true;
}

}  // namespace

UserModel::UserModel(std::string path) : path_(std::move(path)) { read(); }

UserModel::~UserModel() { save(); }

std::string UserModel::defaultPath(std::string_view language)
{
    return userDataFolder() + "/prediction-" + std::string(language) + ".tsv";
}

double UserModel::present(const Stat& s) const
{
    return s.weight * std::exp2(-static_cast<double>(clock_ - s.stamp) / HalfLife);
}

void UserModel::bump(Table& table, const std::string& key)
{
    Stat& s = table[key];
    s.weight = present(s) + 1;
    s.stamp = clock_;
}

void UserModel::learn(std::string_view previous, bool previousKnown, std::string_view word)
{
    if (!plausibleWord(word))
        return;
    ++clock_;
    // Every weight fades by the same factor per word written, so the sum does too.
    total_ = total_ * std::exp2(-1 / HalfLife) + 1;
    const std::string lower = lowerText(word);
    bump(words_, lower);
    if (previousKnown && (previous.empty() || plausibleWord(previous)))
        bump(pairs_[lowerText(previous)], lower);
    if (++unsaved_ >= SaveEvery)
        save();
}

void UserModel::learnLastWord(std::string_view text)
{
    const Context c = lastWordOf(text);
    if (!c.partial.empty())
        learn(c.previous, c.previousKnown, c.partial);
}

double UserModel::weight(std::string_view word) const
{
    const auto it = words_.find(lowerText(word));
    return it == words_.end() ? 0 : present(it->second);
}

double UserModel::pairWeight(std::string_view previous, std::string_view word) const
{
    const auto table = pairs_.find(lowerText(previous));
    if (table == pairs_.end())
        return 0;
    const auto it = table->second.find(lowerText(word));
    return it == table->second.end() ? 0 : present(it->second);
}

double UserModel::followerTotal(std::string_view previous) const
{
    const auto table = pairs_.find(lowerText(previous));
    double sum = 0;
    if (table != pairs_.end())
        for (const auto& [word, s] : table->second)
            sum += present(s);
    return sum;
}

void UserModel::read()
{
    if (path_.empty())
        return;
    std::ifstream file(path_, std::ios::binary);
    std::string line;
    if (!file || !std::getline(file, line) || line != Header)
        return;
    std::uint64_t clock = 0;
    Table words;
    std::unordered_map<std::string, Table> pairs;
    while (std::getline(file, line)) {
        const std::vector<std::string_view> f = fieldsOf(line);
        Stat s;
        if (f.size() == 2 && f[0] == "clock" && number(f[1], clock))
            continue;
        if (f.size() == 4 && f[0] == "w" && number(f[2], s.weight) && number(f[3], s.stamp)) {
            const std::string word = lowerText(utf8ToCp1252(f[1]));
            if (plausibleWord(word) && std::isfinite(s.weight) && s.weight > 0)
                words[word] = s;
        } else if (f.size() == 5 && f[0] == "p" && number(f[3], s.weight) && number(f[4], s.stamp)) {
            const std::string first = lowerText(utf8ToCp1252(f[1])), second = lowerText(utf8ToCp1252(f[2]));
            if ((first.empty() || plausibleWord(first)) && plausibleWord(second) && std::isfinite(s.weight) && s.weight > 0)
                pairs[first][second] = s;
        }
    }
    // A stamp from the future would make a weight grow instead of fade.
    for (auto& [w, s] : words)
        s.stamp = std::min(s.stamp, clock);
    for (auto& [p, table] : pairs)
        for (auto& [w, s] : table)
            s.stamp = std::min(s.stamp, clock);
    clock_ = clock;
    words_ = std::move(words);
    pairs_ = std::move(pairs);
    total_ = 0;
    for (const auto& [w, s] : words_)
        total_ += present(s);
}

bool UserModel::save()
{
    if (path_.empty() || unsaved_ == 0)
        return true;
    std::string data;
    data.reserve(64 * (words_.size() + 1));
    auto number = [&](auto value) {
        char buffer[32];
        const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
        data.append(buffer, error == std::errc() ? end : buffer);
    };
    auto line = [&](std::string_view kind, std::initializer_list<std::string_view> words, const Stat& s) {
        data.append(kind);
        for (std::string_view w : words) {
            data += '\t';
            data += cp1252ToUtf8(w);
        }
        data += '\t';
        number(s.weight);
        data += '\t';
        number(s.stamp);
        data += '\n';
    };
    data.append(Header);
    data += "\nclock\t";
    number(clock_);
    data += '\n';
    // What has faded to nothing is left out, so the file does not grow forever.
    for (const auto& [word, s] : words_)
        if (present(s) >= Faded)
            line("w", {word}, s);
    for (const auto& [first, table] : pairs_)
        for (const auto& [second, s] : table)
            if (present(s) >= Faded)
                line("p", {first, second}, s);

    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
    // What the user writes is theirs: the file is readable by its owner only.
    // A name of its own (mkstemp makes it 0600): a temporary left behind by a
    // killed program never blocks the next save.
    std::string temporary = path_ + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    // No fsync: this runs between two keys, and a sync can stall for a long
    // time; the rename still never leaves a half-written model behind.
    const bool written = writeAll(fd, data);
    ::close(fd);
    if (!written || std::rename(temporary.c_str(), path_.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    unsaved_ = 0;
    return true;
}

void UserModel::forget()
{
    words_.clear();
    pairs_.clear();
    clock_ = 0;
    total_ = 0;
    unsaved_ = 0;
    if (!path_.empty()) {
        std::remove(path_.c_str());
        std::remove((path_ + ".tmp").c_str());
    }
}

}  // namespace brunzit::prediction
