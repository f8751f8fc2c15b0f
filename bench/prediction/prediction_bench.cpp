// prediction-bench [--short] LANG TEXT [K...]
// Times loading the lexicon of LANG from lexicon/ beside the program and one
// prediction per letter of TEXT (UTF-8), then measures what prediction saves
// an ideal user writing TEXT with K words offered (default 3 and 5).
// --short only checks that everything runs (used as a test).
#include "editor/prediction/predictor.h"
#include "editor/prediction/wordtext.h"
#include "platform/cp1252.h"
#include "platform/paths.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace brunzit;
using namespace brunzit::prediction;

namespace {

// Wall time and this process's processor time: on a busy machine the
// second shows the work itself.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t cpu = std::clock();
    double wallMs() const { return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count(); }
    double cpuMs() const { return 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int a = 1;
    const bool quick = a < argc && std::string(argv[a]) == "--short";
    if (quick)
        ++a;
    if (argc - a < 2) {
        std::fprintf(stderr, "usage: prediction-bench [--short] LANG TEXT [K...]\n");
        return 2;
    }
    const std::string language = argv[a], textPath = argv[a + 1];
    std::vector<std::size_t> offers;
    for (int i = a + 2; i < argc; ++i)
        offers.push_back(std::strtoul(argv[i], nullptr, 10));
    if (offers.empty())
        offers = {3, 5};

    const std::string folder = executableFolder() + "lexicon/";
    Lexicon lexicon;
    std::vector<double> loads, loadsCpu;
    for (int i = 0; i < (quick ? 1 : 7); ++i) {
        const Stopwatch watch;
        if (!lexicon.load(folder + language + ".tsv", folder + language + "-pairs.tsv")) {
            std::fprintf(stderr, "cannot read %s%s.tsv\n", folder.c_str(), language.c_str());
            return 1;
        }
        loads.push_back(watch.wallMs());
        loadsCpu.push_back(watch.cpuMs());
    }

    std::ifstream file(textPath, std::ios::binary);
    std::ostringstream buffer;
    buffer << file.rdbuf();
    const std::string text = utf8ToCp1252(buffer.str());
    if (text.empty()) {
        std::fprintf(stderr, "cannot read %s\n", textPath.c_str());
        return 1;
    }

    // One prediction per character written, as the editor would ask.
    const std::size_t calls = quick ? std::min<std::size_t>(text.size(), 200) : text.size();
    const Predictor predictor(lexicon, nullptr);
    std::size_t offered = 0;
    const Stopwatch watch;
    for (std::size_t i = 1; i <= calls; ++i)
        offered += predictor.predict(std::string_view(text).substr(0, i), 5).size();
    const double perCall = watch.wallMs() * 1000 / double(calls), perCallCpu = watch.cpuMs() * 1000 / double(calls);

    std::printf("lexicon %s: %zu words, load %.1f ms wall, %.1f ms processor (medians of %zu)\n", language.c_str(),
                lexicon.size(), median(loads), median(loadsCpu), loads.size());
    std::printf("predict: %.1f us wall, %.1f us processor per call over %zu calls (%zu words offered)\n", perCall,
                perCallCpu, calls, offered);
    const std::string sample = quick ? text.substr(0, std::min<std::size_t>(text.size(), 300)) : text;
    for (std::size_t k : offers) {
        const Savings s = measureSavings(lexicon, sample, k);
        std::printf("K=%zu: %zu characters, %zu words, %zu taken from the offer; actions %zu = %.3f per character "
                    "(%.1f %% fewer than typing)\n",
                    k, s.characters, s.words, s.wordsChosen, s.actions, s.actionsPerCharacter(),
                    100.0 * (1.0 - s.actionsPerCharacter()));
        if (s.actions == 0 || s.actions > s.characters)
            return 1;
    }
    return offered > 0 ? 0 : 1;
}
